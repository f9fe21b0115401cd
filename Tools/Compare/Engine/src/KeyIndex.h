#pragma once

#include "Input.h"
#include "KeyEncoding.h"
#include "ScratchArray.h"

#include <CompareEngine/InputFacts.h>
#include <CompareEngine/Window.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace Orvid::Compare::Engine {

/// Bytes a key index needs per point: the entry (bucket counts and sorting scratch are part of the
/// engine's fixed working memory).
constexpr std::uint64_t INDEX_BYTES_PER_POINT = sizeof(KeyEntry);

/// Key entries in one block of memory, sorted once built. They are mapped apart from the heap (see
/// `ScratchArray`), so that their pages return to the system when the index goes: freed to the
/// allocator, they would stay and count again beside the next window's index.
class KeyIndex {
public:
    KeyIndex() = default;
    /// Room for `size` entries, not yet written. Throws std::bad_alloc.
    explicit KeyIndex(std::size_t size);

    std::size_t size() const { return mEntries.size(); }
    KeyEntry* begin() { return mEntries.begin(); }
    KeyEntry* end() { return mEntries.end(); }
    const KeyEntry* begin() const { return mEntries.begin(); }
    const KeyEntry* end() const { return mEntries.end(); }
    const KeyEntry& operator[](std::size_t index) const { return mEntries[index]; }

    /// Marks an index of every point of its input, whose keys are one time and a secondary word each,
    /// and keeps the XY extent of each word's points.
    void holdAllBySecondary(const std::array<PlanarExtent, SECONDARY_COUNT>& extents) {
        mExtentsBySecondary = std::make_unique<std::array<PlanarExtent, SECONDARY_COUNT>>(extents);
    }
    /// For an index that holds all points of its input by secondary word: the XY extent of each word's
    /// points, which are all the points of its key; null otherwise.
    const std::array<PlanarExtent, SECONDARY_COUNT>* extentsBySecondary() const {
        return mExtentsBySecondary.get();
    }

private:
    ScratchArray<KeyEntry> mEntries;
    std::unique_ptr<std::array<PlanarExtent, SECONDARY_COUNT>> mExtentsBySecondary;
};

/// Points per secondary word of each piece of an input's records, in reading order: pieces of `records`
/// records, the last one shorter.
struct PieceCounts {
    std::uint64_t records = 0;
    std::vector<std::array<std::uint64_t, SECONDARY_COUNT>> bySecondary;
};

/// The key index of the points of `input` that fall in `window`, sorted by key and then by position.
/// Built by a distribution sort straight from the records: two passes over the keys count and then
/// place each entry in its bucket of the window's span of time, and each bucket is sorted in the
/// processor's caches by a finer counting sort; time grows linearly for times spread as a survey's
/// are. `expected` (about the number of entries)
/// sizes the buckets. Runs on up to `threads` threads. `counted`, for a window of one time that holds every
/// point of the input, counts them already, so that one pass over the records places them, and takes
/// the extent of each secondary word's points too when `withExtents` (see `KeyIndex::extentsBySecondary`).
KeyIndex buildKeyIndex(const Input& input, const Window& window, std::uint64_t expected, bool byChannel,
                       unsigned threads, const PieceCounts* counted = nullptr, bool withExtents = false);

} // namespace Orvid::Compare::Engine
