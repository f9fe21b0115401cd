#pragma once

#include "KeyEncoding.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Orvid::Compare::Engine {

/// The positions, in reading order, of the points of one key on one side: a slice of a key index, read
/// in place so that a large key costs no copy, or positions gathered from a stream.
class GroupPositions {
public:
    /// Starts a group whose points are the key-index entries from `entry` on, or, when `entry` is null,
    /// the positions that `add` gathers.
    void start(const KeyEntry* entry) {
        mEntries = entry;
        mPositions.clear();
        mSize = 0;
    }
    /// Adds the next `count` entries of the key index of a group started on an entry.
    void addEntries(std::size_t count) { mSize += count; }
    void add(std::uint64_t position) {
        if (mEntries == nullptr) {
            mPositions.push_back(position);
        }
        ++mSize;
    }

    std::size_t size() const { return mSize; }
    std::uint64_t operator[](std::size_t index) const {
        return mEntries != nullptr ? mEntries[index].position() : mPositions[index];
    }

private:
    const KeyEntry* mEntries = nullptr;
    std::vector<std::uint64_t> mPositions;
    std::size_t mSize = 0;
};

} // namespace Orvid::Compare::Engine
