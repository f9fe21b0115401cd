#pragma once

#include <CompareEngine/InputFacts.h>
#include <CompareEngine/Window.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace Orvid::Compare::Engine {

/// One shard of a comparison: the part of the key space it compares, as `CompareEngine::compare`
/// takes it, and the points of both inputs in it.
struct PlannedShard {
    std::vector<Window> windows;
    std::uint64_t points = 0;
};

/// A comparison cut into shards whose results add up to those of the whole comparison.
struct ShardPlanning {
    /// In key order: the time windows ascending, then the shard of the NaN times.
    std::vector<PlannedShard> shards;
    /// Points, NaN times and key order of each input; duplicates are not counted (0).
    InputFacts reference;
    InputFacts test;
};

/// Cuts the comparison of `reference` with `test` (lists of LAS files, one leg each) into `shards`
/// shards of about equal numbers of points, reading only the keys of the records: one pass for their
/// range, then one per refinement of the cuts (usually one or two). A cut never splits one GPS time, so
/// the shards together pair exactly what one comparison pairs. NaN-time points, when there are any,
/// make a shard of their own (the last one) unless `shards` is 1. A shard may be empty when the times
/// are too few to share. Runs on up to `threads` threads (0: one per core). Throws Core::IOException
/// when a file cannot be read, std::invalid_argument when `shards` is 0 or an input holds more than
/// 2^58 points.
ShardPlanning planShards(const std::vector<std::filesystem::path>& reference,
                         const std::vector<std::filesystem::path>& test, std::size_t shards, bool byChannel,
                         unsigned threads);

} // namespace Orvid::Compare::Engine
