// A partition's facts read back as written: what the keys of each run tell, which a shard takes for a
// scan of its runs, down to the NaN times of each return number and a run without keys.
#include "Shard/PartitionFacts.h"
#include "TemporaryFolder.h"

#include <gtest/gtest.h>

namespace Orvid::Testing {
namespace {

using Compare::Engine::RunKeys;

bool sameKeys(const RunKeys& a, const RunKeys& b) {
    return a.nanTimesBySecondary == b.nanTimesBySecondary && a.inKeyOrder == b.inKeyOrder &&
           a.hasKey == b.hasKey && a.firstPrimary == b.firstPrimary && a.firstSecondary == b.firstSecondary &&
           a.lastPrimary == b.lastPrimary && a.lastSecondary == b.lastSecondary &&
           a.lowestPrimary == b.lowestPrimary && a.highestPrimary == b.highestPrimary;
}

TEST(PartitionFactsTest, TheKeysOfEveryRunReadBackAsWritten) {
    const TemporaryFolder folder("partition-facts");
    RunKeys ordered;
    ordered.hasKey = true;
    ordered.firstPrimary = ~std::uint64_t{0} - 1;
    ordered.firstSecondary = 63;
    ordered.lastPrimary = 1;
    ordered.lastSecondary = 2;
    ordered.lowestPrimary = 1;
    ordered.highestPrimary = ordered.firstPrimary;
    RunKeys nanOnly;
    nanOnly.inKeyOrder = false;
    nanOnly.nanTimesBySecondary[0] = 3;
    nanOnly.nanTimesBySecondary[63] = 9;

    Compare::PartitionFacts facts;
    facts.plan = "plan";
    facts.partitions = 2;
    facts.runRecords.resize(2);
    facts.shares[0].runKeys = {{ordered, nanOnly}, {nanOnly, ordered}};
    facts.shares[1].runKeys = {{RunKeys{}}, {ordered}};
    const auto path = folder / "partition.json";
    Compare::writePartitionFacts(path, facts, path);
    const Compare::PartitionFacts read = Compare::readPartitionFacts(path);

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
