#pragma once

#include <CompareEngine/Window.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace Orvid::Compare::Engine {

/// One shard of a comparison: the part of the key space it compares, as `CompareEngine::compare`
/// takes it, and about how many points of both inputs lie in it.
struct PlannedShard {
    std::vector<Window> windows;
    std::uint64_t points = 0;
};

/// Cuts the comparison of `reference` with `test` (lists of LAS or LAZ files, one leg each) into `shards`
/// shards of about equal numbers of points, in key order: time windows ascending, NaN times last. The
/// cuts come from the keys of an even sample of the records (every record of inputs up to 16 Ki
/// points, 16 Ki records in 512 runs of larger ones; of a LAZ file, the first 32 records of up to 512
/// evenly chosen chunks, the only ones decoded), so that planning costs milliseconds whatever the
/// inputs' size; they never split one GPS time, so the shards together pair exactly what one
/// comparison pairs. NaN-time points form a window of their own, in the last shard, or a shard of
/// their own when they are many (at least half a shard's share). A shard may be empty when the times
/// are too few to share. Throws Core::IOException when a file cannot be read, std::invalid_argument
/// when `shards` is 0.
std::vector<PlannedShard> planShards(const std::vector<std::filesystem::path>& reference,
                                     const std::vector<std::filesystem::path>& test, std::size_t shards);

} // namespace Orvid::Compare::Engine
