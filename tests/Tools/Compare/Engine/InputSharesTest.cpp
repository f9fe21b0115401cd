// An input's shares cover its records once, in reading order, in about equal bytes: a LAS leg cut at
// any record, a LAZ leg only where a chunk starts.
#include "LazChunkFiles.h"
#include "TemporaryFolder.h"

#include <CompareEngine/InputShares.h>
#include <FileIoInterface/Las/PointRecords.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace Orvid::Testing {
namespace {

namespace fs = std::filesystem;
using namespace Compare::Engine;

/// The shares' pieces one after the other, checked to cover `points` records of each leg in order.
void expectCoverInReadingOrder(const std::vector<InputShare>& shares,
                               const std::vector<std::uint64_t>& points) {
    std::size_t leg = 0;
    std::uint64_t next = 0;
    for (const InputShare& share : shares) {
        for (const SharePiece& piece : share) {
            if (next == points[leg] && piece.leg != leg) {
                ++leg;
                next = 0;
            }
            EXPECT_EQ(piece.leg, leg);
            EXPECT_EQ(piece.first, next);
            EXPECT_GT(piece.count, 0U);
            next += piece.count;
        }
    }
    EXPECT_EQ(leg, points.size() - 1);
    EXPECT_EQ(next, points.back());
}

TEST(InputShares, CutALasLegAnywhereAndALazLegWhereAChunkStarts) {
    const TemporaryFolder folder("engine-shares");
    const fs::path source = fs::path(LAZ_SAMPLE_DIR) / "synthetic_pf1_300k.laz";
    const fs::path laz = folder / "input.laz";
    const fs::path las = folder / "input.las";
    const std::uint64_t points = Las::writeLazFromChunks(source, {0, 1, 2, 3, 4, 5}, laz, las);

    // The LAS leg, then the LAZ leg, in 4 shares: the stored records outweigh the compressed ones, so
    // the first two shares, of equal bytes, lie in the LAS leg.
    const std::vector<InputShare> shares = planInputShares({las, laz}, 4);
    ASSERT_EQ(shares.size(), 4U);
    expectCoverInReadingOrder(shares, {points, points});
    ASSERT_EQ(shares[1].size(), 1U);
    EXPECT_EQ(shares[1].front().leg, 0U);
    EXPECT_NEAR(static_cast<double>(shares[0].front().count), static_cast<double>(shares[1].front().count),
                1.0);

    FileIoInterface::Las::PointRecordsOptions options;
    options.lazAccess = FileIoInterface::Las::LazAccess::chunkByChunk;
    const FileIoInterface::Las::PointRecords chunks(laz, options);
    std::vector<std::uint64_t> chunkStarts;
    for (std::size_t chunk = 0; chunk < chunks.blockCount(); ++chunk) {
        chunkStarts.push_back(chunks.blockStart(chunk));
    }
    for (const InputShare& share : shares) {
        for (const SharePiece& piece : share) {
            if (piece.leg == 1) {
                EXPECT_NE(std::find(chunkStarts.begin(), chunkStarts.end(), piece.first), chunkStarts.end())
                    << piece.first;
            }
        }
    }
    // More shares than chunks leave some empty, never a chunk split.
    const std::vector<InputShare> many = planInputShares({laz}, 20);
    expectCoverInReadingOrder(many, {points});
    EXPECT_EQ(std::count_if(many.begin(), many.end(), [](const InputShare& share) { return !share.empty(); }),
              static_cast<std::ptrdiff_t>(chunkStarts.size()));
}

} // namespace
} // namespace Orvid::Testing
