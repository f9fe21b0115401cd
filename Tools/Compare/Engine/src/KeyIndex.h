#pragma once

#include "Input.h"
#include "KeyEncoding.h"
#include "Window.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace Orvid::Compare::Engine {

/// Bytes a key index needs per point while it is built: the entry and its share of the bucket counts
/// and starts.
constexpr std::uint64_t INDEX_BYTES_PER_POINT = sizeof(KeyEntry) + 2;

/// Key entries in one block of memory, sorted once built.
class KeyIndex {
public:
    KeyIndex() = default;
    /// Room for `size` entries, not yet written. Throws std::bad_alloc.
    explicit KeyIndex(std::size_t size);

    std::size_t size() const { return mSize; }
    KeyEntry* begin() { return mEntries.get(); }
    KeyEntry* end() { return mEntries.get() + mSize; }
    const KeyEntry* begin() const { return mEntries.get(); }
    const KeyEntry* end() const { return mEntries.get() + mSize; }
    const KeyEntry& operator[](std::size_t index) const { return mEntries[index]; }

private:
    std::unique_ptr<KeyEntry[]> mEntries;
    std::size_t mSize = 0;
};

/// The key index of the points of `input` that fall in `window`, sorted by key and then by position.
/// Built by a counting sort straight from the records (two passes over the keys, the second placing
/// each entry in its bucket of the window's key range) and a sort inside each small bucket, so that
/// time grows linearly for times spread as a survey's are. `expected` (about the number of entries)
/// sizes the buckets. Runs on up to `threads` threads.
KeyIndex buildKeyIndex(const Input& input, const Window& window, std::uint64_t expected, bool byChannel,
                       unsigned threads);

} // namespace Orvid::Compare::Engine
