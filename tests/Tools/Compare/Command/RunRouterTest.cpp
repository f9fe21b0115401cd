// A partition leaves long stretches of consecutive records of a stored leg where the leg holds them and
// copies everything else into the shards' runs, in reading order: short stretches, records out of
// order, and records that do not lie in their file.
#include "Command/RunRouter.h"
#include "TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace Orvid::Testing {
namespace {

using Compare::RunSegment;

constexpr std::size_t LENGTH = 4;

/// The records of a mapped leg: record k holds k in its first byte (mod 256) and its length.
std::vector<std::uint8_t> legRecords(std::size_t count) {
    std::vector<std::uint8_t> bytes(count * LENGTH, LENGTH);
    for (std::size_t record = 0; record < count; ++record) {
        bytes[record * LENGTH] = static_cast<std::uint8_t>(record);
    }
    return bytes;
}

std::vector<std::uint8_t> fileBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void expectSegments(const std::vector<RunSegment>& found, const std::vector<RunSegment>& expected) {
    ASSERT_EQ(found.size(), expected.size());
    for (std::size_t segment = 0; segment < expected.size(); ++segment) {
        EXPECT_EQ(found[segment].records, expected[segment].records) << "segment " << segment;
        EXPECT_EQ(found[segment].firstInLeg, expected[segment].firstInLeg) << "segment " << segment;
    }
}

TEST(RunRouterTest, LeavesLongStretchesInTheLegAndCopiesTheRestInOrder) {
    const TemporaryFolder folder("run-router");
    const std::vector<std::uint8_t> leg = legRecords(7000);
    const std::vector<std::uint8_t> decoded = legRecords(1);
    const std::vector<std::uint8_t> test = legRecords(8191);
    Compare::PartitionFacts facts;
    {
        Compare::PartitionWriter writer(folder.path, 0, 2);
        Compare::RunRouter router(writer, 2);
        router.startInput(0, 1);
        const auto inFile = [&](std::size_t shard, std::uint64_t index, bool last = false) {
            router.route({shard, 0, index, leg.data() + index * LENGTH, LENGTH, true, last});
        };
        for (std::uint64_t index = 0; index < 5000; ++index) {
            inFile(0, index);
        }
        inFile(1, 5000);
        inFile(0, 6000);
        inFile(0, 6001);
        router.route({0, 0, 0, decoded.data(), LENGTH, false});
        for (std::uint64_t index = 6002; index < 7000; ++index) {
            inFile(1, index, index == 6999);
        }
        // The test's leg: a stretch one short of being left, then one just long enough, ending the leg.
        router.startInput(1, 1);
        const auto testRecord = [&](std::size_t shard, std::uint64_t index) {
            router.route({shard, 0, index, test.data() + index * LENGTH, LENGTH, true,
                          index + 1 == test.size() / LENGTH});
        };
        for (std::uint64_t index = 0; index < 4095; ++index) {
            testRecord(0, index);
        }
        for (std::uint64_t index = 4095; index < 8191; ++index) {
            testRecord(1, index);
        }
        router.describe(facts);
        writer.commit(facts);
    }
    expectSegments(facts.runSegments[0][0][0], {{5000, 0}, {3, std::nullopt}});
    // Short stretches that end a leg are copied too.
    expectSegments(facts.runSegments[1][0][0], {{999, std::nullopt}});
    expectSegments(facts.runSegments[0][1][0], {{4095, std::nullopt}});
    expectSegments(facts.runSegments[1][1][0], {{4096, 4095}});

    const std::filesystem::path partition = Compare::partitionFolder(folder.path, 0);
    std::vector<std::uint8_t> shard0(leg.begin() + 6000 * LENGTH, leg.begin() + 6002 * LENGTH);
    shard0.insert(shard0.end(), decoded.begin(), decoded.end());
    shard0.insert(shard0.end(), test.begin(), test.begin() + 4095 * LENGTH);
    EXPECT_EQ(fileBytes(partition / Compare::runFileName(0)), shard0);
    std::vector<std::uint8_t> shard1(leg.begin() + 5000 * LENGTH, leg.begin() + 5001 * LENGTH);
    shard1.insert(shard1.end(), leg.begin() + 6002 * LENGTH, leg.end());
    EXPECT_EQ(fileBytes(partition / Compare::runFileName(1)), shard1);
}

} // namespace
} // namespace Orvid::Testing
