// What the keys of an input's runs tell stands for a scan that reads every key: the same counts, order
// and bounds, and for an input in key order the same samples and the same positions found through them.
#include "InputScan.h"
#include "LasCloudFiles.h"
#include "MemoryPoint.h"
#include "TemporaryFolder.h"

#include <gtest/gtest.h>

#include <limits>

namespace Orvid::Testing {
namespace {

namespace fs = std::filesystem;
using namespace Compare::Engine;

/// What each run tells when every leg of `input` is cut into runs at a third, the record after it and
/// two thirds of its records (one run of a single record, and an empty one for a leg of two or fewer).
std::vector<RunKeys> runKeysOf(const Input& input) {
    std::vector<RunKeys> runs;
    for (std::size_t leg = 0; leg < input.legCount(); ++leg) {
        const std::uint64_t begin = input.legStart(leg);
        const std::uint64_t size = input.legStart(leg + 1) - begin;
        const std::vector<std::uint64_t> cuts{0, size / 3, size / 3 + 1, 2 * size / 3, size};
        for (std::size_t run = 0; run + 1 < cuts.size(); ++run) {
            SecondaryKeyTally keys;
            input.forEachRecord(begin + cuts[run], begin + cuts[run + 1],
                                [&](std::uint64_t, const std::uint8_t* record,
                                    const FileIoInterface::Las::PointRecords& records) {
                                    keys.add(keyOf(input, records, record, false));
                                });
            runs.push_back(keys.runKeys());
        }
    }
    return runs;
}

TEST(InputScanTest, TheKeysOfTheRunsGiveWhatReadingEveryKeyGives) {
    const TemporaryFolder folder("engine-scan");
    const std::vector<fs::path> ordered = writeSurveyLegs(folder.path, "ordered", {2, 6000, 3});
    for (std::size_t leg = 0; leg < ordered.size(); ++leg) {
        plantAmbiguousKeys(ordered[leg], leg);
    }
    // Between the two legs, more NaN times than a sample stride, so that samples there take the keys
    // of the next leg.
    std::vector<PointLeg> nanLeg(1);
    for (std::size_t index = 0; index < InputScan::SAMPLE_STRIDE * 2 + 7; ++index) {
        nanLeg[0].push_back(makePoint(std::numeric_limits<double>::quiet_NaN(), 1 + index % 4));
    }
    FileIoInterface::Las::LasWriterOptions options;
    options.pointFormat = 6;
    const fs::path nan = writeLasLegs(folder.path, "nan", nanLeg, options, {}).front();
    const fs::path shuffled = folder / "shuffled.las";
    writeShuffledCopy(ordered[0], shuffled, 3);

    for (const bool inOrder : {true, false}) {
        const Input input(inOrder ? std::vector<fs::path>{ordered[0], nan, ordered[1]}
                                  : std::vector<fs::path>{ordered[1], shuffled},
                          0.5);
        const InputScan read(input, false, 2, {});
        const InputScan taken(input, runKeysOf(input), false);
        SCOPED_TRACE(inOrder ? "in key order" : "shuffled");
        ASSERT_EQ(read.inKeyOrder(), inOrder);
        EXPECT_EQ(taken.points(), read.points());
        EXPECT_EQ(taken.nanTimes(), read.nanTimes());
        EXPECT_EQ(taken.nanTimesBySecondary(), read.nanTimesBySecondary());
        EXPECT_EQ(taken.inKeyOrder(), read.inKeyOrder());
        EXPECT_EQ(taken.lowestPrimary(), read.lowestPrimary());
        EXPECT_EQ(taken.highestPrimary(), read.highestPrimary());
        EXPECT_EQ(taken.tally().lowestTime, read.tally().lowestTime);
        EXPECT_EQ(taken.tally().highestTime, read.tally().highestTime);
        if (!read.inKeyOrder()) {
            continue;
        }
        EXPECT_GT(read.nanTimes(), nanLeg[0].size());
        EXPECT_EQ(taken.samples(), read.samples());
        for (const std::uint64_t primary : read.samples()) {
            for (const std::uint64_t probe : {primary - 1, primary, primary + 1}) {
                EXPECT_EQ(taken.lowerBound(input, probe, false), read.lowerBound(input, probe, false));
            }
        }
    }
}

} // namespace
} // namespace Orvid::Testing
