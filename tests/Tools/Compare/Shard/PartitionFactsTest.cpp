// A partition's facts read back as written: where each shard's records lie (copied into its run or left
// in the leg), and what their keys tell, which a shard takes for a scan of its runs, down to the NaN
// times of each return number and records without keys.
#include "Shard/PartitionFacts.h"
#include "TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace Orvid::Testing {
namespace {

using Compare::Engine::RunKeys;

bool sameKeys(const RunKeys& a, const RunKeys& b) {
    const auto sameNans = [](const RunKeys& x, const RunKeys& y) {
        return std::equal(x.nanTimes.begin(), x.nanTimes.end(), y.nanTimes.begin(), y.nanTimes.end(),
                          [](const auto& u, const auto& v) {
                              return u.secondary == v.secondary && u.records == v.records;
                          });
    };
    return a.records == b.records && sameNans(a, b) && a.inKeyOrder == b.inKeyOrder && a.hasKey == b.hasKey &&
           a.firstPrimary == b.firstPrimary && a.firstSecondary == b.firstSecondary &&
           a.lastPrimary == b.lastPrimary && a.lastSecondary == b.lastSecondary &&
           a.lowestPrimary == b.lowestPrimary && a.highestPrimary == b.highestPrimary;
}

TEST(PartitionFactsTest, TheSegmentsAndKeysOfEveryRunReadBackAsWritten) {
    const TemporaryFolder folder("partition-facts");
    RunKeys ordered;
    ordered.records = 12;
    ordered.hasKey = true;
    ordered.firstPrimary = ~std::uint64_t{0} - 1;
    ordered.firstSecondary = 63;
    ordered.lastPrimary = 1;
    ordered.lastSecondary = 2;
    ordered.lowestPrimary = 1;
    ordered.highestPrimary = ordered.firstPrimary;
    RunKeys nanOnly;
    nanOnly.inKeyOrder = false;
    nanOnly.records = 12;
    nanOnly.nanTimes = {{0, 3}, {63, 9}};

    Compare::PartitionFacts facts;
    facts.plan = "plan";
    facts.partitions = 2;
    // Shard 0: the reference's one leg copied then left from record 17; shard 1: the test's leg left whole.
    facts.runSegments.resize(2);
    facts.runSegments[0][0] = {{{5, std::nullopt}, {4096, 17}}};
    facts.runSegments[0][1] = {{}};
    facts.runSegments[1][0] = {{}};
    facts.runSegments[1][1] = {{{3, 0}}};
    facts.shares[0].runKeys = {{ordered, nanOnly}, {nanOnly, ordered}};
    facts.shares[1].runKeys = {{RunKeys{}}, {ordered}};
    const auto path = folder / "partition.json";
    Compare::writePartitionFacts(path, facts, path);
    const Compare::PartitionFacts read = Compare::readPartitionFacts(path);

    ASSERT_EQ(read.runSegments.size(), 2U);
    for (std::size_t shard = 0; shard < 2; ++shard) {
        for (std::size_t side = 0; side < 2; ++side) {
            ASSERT_EQ(read.runSegments[shard][side].size(), 1U);
            const auto& written = facts.runSegments[shard][side][0];
            const auto& segments = read.runSegments[shard][side][0];
            ASSERT_EQ(segments.size(), written.size());
            for (std::size_t segment = 0; segment < written.size(); ++segment) {
                EXPECT_EQ(segments[segment].records, written[segment].records);
                EXPECT_EQ(segments[segment].firstInLeg, written[segment].firstInLeg);
            }
        }
    }
    for (std::size_t side = 0; side < 2; ++side) {
        const auto& written = facts.shares[side].runKeys;
        ASSERT_EQ(read.shares[side].runKeys.size(), written.size());
        for (std::size_t shard = 0; shard < written.size(); ++shard) {
            ASSERT_EQ(read.shares[side].runKeys[shard].size(), written[shard].size());
            for (std::size_t leg = 0; leg < written[shard].size(); ++leg) {
                EXPECT_TRUE(sameKeys(read.shares[side].runKeys[shard][leg], written[shard][leg]))
                    << "side " << side << ", shard " << shard << ", leg " << leg;
            }
        }
    }
}

} // namespace
} // namespace Orvid::Testing
