#pragma once

#include <cstddef>
#include <numeric>
#include <utility>
#include <vector>

namespace Orvid::Compare::Engine {

/// Positions 0 to n - 1 that are taken one by one, and the first one still free from any position on:
/// each position links to itself while free and to the one after it once taken; a search shortcuts
/// the links it walks, so that taken positions cost almost nothing to skip.
class UnpairedLinks {
public:
    /// `count` free positions, and position `count`, which stays free and ends every search.
    void reset(std::size_t count) {
        mNext.resize(count + 1);
        std::iota(mNext.begin(), mNext.end(), std::size_t{0});
    }

    void take(std::size_t position) { mNext[position] = position + 1; }

    /// The first free position from `position` on.
    std::size_t freeFrom(std::size_t position) {
        std::size_t root = position;
        while (mNext[root] != root) {
            root = mNext[root];
        }
        while (mNext[position] != root) {
            position = std::exchange(mNext[position], root);
        }
        return root;
    }

private:
    std::vector<std::size_t> mNext;
};

} // namespace Orvid::Compare::Engine
