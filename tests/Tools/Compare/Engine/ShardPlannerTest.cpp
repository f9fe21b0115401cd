// Shards planned from a LAZ pair, whose keys are sampled from the first records of its chunks alone,
// share the points as evenly as a chunk allows, whatever the chunks' order, and estimate them as well.
#include "KeyEncoding.h"
#include "LazChunkFiles.h"
#include "TemporaryFolder.h"

#include <CompareEngine/ShardPlanner.h>
#include <FileIoInterface/Las/PointRecords.h>

#include <gtest/gtest.h>

#include <cstdlib>

namespace Orvid::Testing {
namespace {

namespace fs = std::filesystem;
using namespace Compare::Engine;

/// Points of the LAS file `las` in the windows of `shard`.
std::uint64_t pointsIn(const PlannedShard& shard, const fs::path& las) {
    const FileIoInterface::Las::PointRecords records(las);
    std::uint64_t points = 0;
    for (std::uint64_t index = 0; index < records.size(); ++index) {
        const std::uint64_t primary = primaryOf(records.gpsTime(index));
        for (const Window& window : shard.windows) {
            points += window.holds(primary, 0) ? 1U : 0U;
        }
    }
    return points;
}

TEST(ShardPlanner, SharesALazPairAsEvenlyAsAChunkAllowsFromTheChunksFirstRecords) {
    const TemporaryFolder folder("engine-planner");
    const fs::path source = fs::path(LAZ_SAMPLE_DIR) / "synthetic_pf1_300k.laz";
    constexpr std::int64_t CHUNK_POINTS = 50000;
    for (const std::vector<std::size_t>& chunks :
         {std::vector<std::size_t>{0, 1, 2, 3, 4, 5}, std::vector<std::size_t>{3, 0, 5, 1, 4, 2}}) {
        SCOPED_TRACE(testing::PrintToString(chunks));
        const fs::path laz = folder / "input.laz";
        const fs::path las = folder / "input.las";
        const auto points = static_cast<std::int64_t>(Las::writeLazFromChunks(source, chunks, laz, las));
        const std::vector<PlannedShard> shards = planShards({laz}, {laz}, 3);
        ASSERT_EQ(shards.size(), 3u);
        std::int64_t estimated = 0;
        for (const PlannedShard& shard : shards) {
            // Both inputs are the same file: each shard holds twice its points of one.
            const auto actual = 2 * static_cast<std::int64_t>(pointsIn(shard, las));
            EXPECT_LE(std::llabs(actual - 2 * points / 3), 2 * CHUNK_POINTS);
            EXPECT_LE(std::llabs(actual - static_cast<std::int64_t>(shard.points)), 2 * CHUNK_POINTS);
            estimated += static_cast<std::int64_t>(shard.points);
        }
        EXPECT_LE(std::llabs(estimated - 2 * points), 2);
    }
}

} // namespace
} // namespace Orvid::Testing
