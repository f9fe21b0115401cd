#pragma once

#include "Input.h"
#include "KeyEncoding.h"
#include "Window.h"

#include <cstdint>
#include <vector>

namespace Orvid::Compare::Engine {

/// Bytes a key index needs per point while it is built: the entry and its share of the bucket counts
/// and starts.
constexpr std::uint64_t INDEX_BYTES_PER_POINT = sizeof(KeyEntry) + 2;

/// The key index of the points of `input` that fall in `window`, sorted by key and then by position.
/// Built by a counting sort straight from the records (two passes over the keys, the second placing
/// each entry in its bucket of the window's key range) and a sort inside each small bucket, so that
/// time grows linearly for times spread as a survey's are. `expected` (about the number of entries)
/// sizes the buckets. Runs on up to `threads` threads.
std::vector<KeyEntry> buildKeyIndex(const Input& input, const Window& window, std::uint64_t expected,
                                    bool byChannel, unsigned threads);

} // namespace Orvid::Compare::Engine
