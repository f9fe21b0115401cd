#pragma once

#include <FileIoInterface/Las/LasHeader.h>

#include <array>
#include <cstdint>
#include <vector>

namespace Orvid::Compare::Engine {

/// Where a comparison keeps the decoded records of its LAZ legs: in memory, within half of its memory
/// budget (less when the key index's least share and the working memory would not fit beside them);
/// beyond that nowhere, read chunk by chunk, as long as their input turns out to be in key order, and
/// in the temporary folder otherwise.
struct LazDecodingPlan {
    /// Per input (reference, test), per leg in reading order: whether its records are decoded into
    /// memory.
    std::array<std::vector<bool>, 2> inMemory;
    /// Decoded bytes kept in memory, and of the LAZ legs read chunk by chunk.
    std::uint64_t memoryBytes = 0;
    std::uint64_t byChunkBytes = 0;
};

/// The plan for inputs whose legs have `headers` (reference, test) under a budget of `memoryBudget`
/// bytes on `threads` threads: legs are taken in reading order, the reference's first, each whole into
/// memory while it fits.
LazDecodingPlan planLazDecoding(const std::array<std::vector<FileIoInterface::Las::LasHeader>, 2>& headers,
                                std::uint64_t memoryBudget, unsigned threads);

} // namespace Orvid::Compare::Engine
