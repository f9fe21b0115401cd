// Where LAZ legs are decoded: whole legs into memory in reading order while the budget's share holds
// them, the rest read chunk by chunk, uncompressed legs nowhere, absurd counts never wrapping.
#include "BudgetShares.h"

#include <CompareEngine/LazDecoding.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace Orvid::Testing {
namespace {

using Compare::Engine::planLazDecoding;
using FileIoInterface::Las::LasHeader;

LasHeader legOf(std::uint64_t points, bool compressed) {
    LasHeader header;
    header.compressed = compressed;
    header.pointCount = points;
    header.pointRecordLength = 32;
    return header;
}

TEST(LazDecodingTest, KeepsWholeLegsInMemoryInReadingOrderWhileTheyFit) {
    const std::uint64_t budget = std::uint64_t{1} << 30;
    const std::uint64_t share = Compare::Engine::decodedLazShare(budget, 2);
    const std::uint64_t third = share / 3 / 32;
    // Reference: a third, an uncompressed leg, a third; test: half (too large for what is left), a
    // third minus one point (which still fits).
    const auto plan = planLazDecoding(
        {std::vector<LasHeader>{legOf(third, true), legOf(third * 4, false), legOf(third, true)},
         std::vector<LasHeader>{legOf(share / 2 / 32, true), legOf(third - 1, true)}},
        budget, 2);
    EXPECT_EQ(plan.inMemory[0], (std::vector<bool>{true, false, true}));
    EXPECT_EQ(plan.inMemory[1], (std::vector<bool>{false, true}));
    EXPECT_EQ(plan.memoryBytes, (3 * third - 1) * 32);
    EXPECT_LE(plan.memoryBytes, share);
    EXPECT_EQ(plan.byChunkBytes, share / 2 / 32 * 32);

    const std::uint64_t absurd = std::numeric_limits<std::uint64_t>::max() / 16;
    const auto huge = planLazDecoding(
        {std::vector<LasHeader>{legOf(absurd, true)}, std::vector<LasHeader>{legOf(absurd, true)}}, budget,
        2);
    EXPECT_EQ(huge.inMemory[0], std::vector<bool>{false});
    EXPECT_EQ(huge.memoryBytes, 0u);
    EXPECT_EQ(huge.byChunkBytes, std::numeric_limits<std::uint64_t>::max());
}

} // namespace
} // namespace Orvid::Testing
