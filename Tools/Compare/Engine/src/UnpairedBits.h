#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Orvid::Compare::Engine {

/// Positions 0 to n - 1 that are taken one by one, and the first one still free from any position on:
/// a bit per position, so that the candidates of a large key cost an eighth of a byte each, and a
/// search skips 64 taken positions at a time.
class UnpairedBits {
public:
    /// `count` free positions, and position `count`, which stays free and ends every search.
    void reset(std::size_t count) {
        mWords.assign(count / BITS + 1, ~std::uint64_t{0});
        // Positions after `count` are never free, so that a search stops at `count`.
        mWords.back() = ~std::uint64_t{0} >> (BITS - 1 - count % BITS);
    }

    void take(std::size_t position) { mWords[position / BITS] &= ~(std::uint64_t{1} << (position % BITS)); }
    bool isFree(std::size_t position) const {
        return ((mWords[position / BITS] >> (position % BITS)) & 1) != 0;
    }

    /// The first free position from `position` on (at most `count`).
    std::size_t freeFrom(std::size_t position) const {
        std::size_t word = position / BITS;
        std::uint64_t bits = mWords[word] & (~std::uint64_t{0} << (position % BITS));
        while (bits == 0) {
            bits = mWords[++word];
        }
        return word * BITS + static_cast<std::size_t>(__builtin_ctzll(bits));
    }

    /// The first free position from `position` on before `end`, or `end` when there is none: a search
    /// that reads no further than `end`.
    std::size_t freeBetween(std::size_t position, std::size_t end) const {
        if (position >= end) {
            return end;
        }
        std::size_t word = position / BITS;
        const std::size_t lastWord = (end - 1) / BITS;
        std::uint64_t bits = mWords[word] & (~std::uint64_t{0} << (position % BITS));
        while (bits == 0 && word < lastWord) {
            bits = mWords[++word];
        }
        const std::size_t found =
            bits == 0 ? end : word * BITS + static_cast<std::size_t>(__builtin_ctzll(bits));
        return found < end ? found : end;
    }

private:
    static constexpr std::size_t BITS = 64;

    std::vector<std::uint64_t> mWords;
};

} // namespace Orvid::Compare::Engine
