#include <CompareEngine/LazDecoding.h>

#include "BudgetShares.h"

#include <algorithm>
#include <limits>

namespace Orvid::Compare::Engine {

LazDecodingPlan planLazDecoding(const std::array<std::vector<FileIoInterface::Las::LasHeader>, 2>& headers,
                                std::uint64_t memoryBudget, unsigned threads) {
    LazDecodingPlan plan;
    const std::uint64_t allowance = decodedLazShare(memoryBudget, threads);
    for (std::size_t side = 0; side < 2; ++side) {
        for (const FileIoInterface::Las::LasHeader& header : headers[side]) {
            const std::uint64_t bytes = header.compressed ? header.decodedRecordBytes() : 0;
            const bool inMemory = bytes != 0 && bytes <= allowance - plan.memoryBytes;
            plan.inMemory[side].push_back(inMemory);
            std::uint64_t& total = inMemory ? plan.memoryBytes : plan.byChunkBytes;
            // Saturates, as each leg's bytes do, rather than wrap on absurd point counts.
            total += std::min(bytes, std::numeric_limits<std::uint64_t>::max() - total);
        }
    }
    return plan;
}

} // namespace Orvid::Compare::Engine
