#pragma once

#include <algorithm>
#include <cstdint>

// How a comparison shares its memory budget: working memory, decoded LAZ records, the key index.
namespace Orvid::Compare::Engine {

/// Memory that the comparison holds whatever the size of its inputs, for the budget: the scans'
/// samples, the planner's histograms, the index's bucket counts; per thread, the decisions and
/// decoded points of a worker and the scratch of an index sorter.
constexpr std::uint64_t FIXED_BYTES = std::uint64_t{8} << 20;
constexpr std::uint64_t BYTES_PER_WORKER = std::uint64_t{8} << 20;
/// The least that a window's key index may use, however small the budget.
constexpr std::uint64_t LEAST_INDEX_BYTES = std::uint64_t{64} << 10;

/// Share of a budget that the key index keeps however large the working memory's estimate: that
/// estimate is an upper bound (a worker uses about half of it), and starving the index multiplies the
/// passes over the inputs.
constexpr std::uint64_t LEAST_INDEX_SHARE = 3;

/// The bytes of a `budget` that go to the key index, the rest being working memory, estimated as
/// `working`.
inline std::uint64_t indexShare(std::uint64_t budget, std::uint64_t working) {
    return std::max({budget > working ? budget - working : 0, budget / LEAST_INDEX_SHARE, LEAST_INDEX_BYTES});
}

/// The working memory of a comparison on `threads` threads, at most.
inline std::uint64_t workingBytes(unsigned threads) {
    return FIXED_BYTES + BYTES_PER_WORKER * threads;
}

/// The bytes of a `budget` that decoded LAZ records may take on `threads` threads: at most half of it,
/// and never so much that the key index's least share and the working memory would not fit beside it.
inline std::uint64_t decodedLazShare(std::uint64_t budget, unsigned threads) {
    const std::uint64_t others = budget / LEAST_INDEX_SHARE + workingBytes(threads);
    return std::min(budget / 2, budget > others ? budget - others : 0);
}

} // namespace Orvid::Compare::Engine
