#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace Orvid::Compare::Engine {

/// Consecutive records of one leg of an input: `count` records from record `first` of leg `leg`.
struct SharePiece {
    std::size_t leg = 0;
    std::uint64_t first = 0;
    std::uint64_t count = 0;
};

/// One share of an input: pieces of its legs in reading order (legs in list order, records in file
/// order), which the shares together cover once.
using InputShare = std::vector<SharePiece>;

/// Cuts an input (its `legs`, LAS or LAZ files) into `shares` shares of about equal bytes, in reading
/// order: a LAS leg at any record, a LAZ leg only between its chunks, each of which is read whole.
/// Reads the headers and the chunk tables alone. A share may be empty when the chunks are fewer than
/// the shares. Throws Core::IOException naming the file when a header or chunk table cannot be read,
/// std::invalid_argument when `shares` is 0.
std::vector<InputShare> planInputShares(const std::vector<std::filesystem::path>& legs, std::size_t shares);

} // namespace Orvid::Compare::Engine
