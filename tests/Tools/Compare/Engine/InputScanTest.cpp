// What the keys of an input's runs tell stands for a scan that reads every key: the same counts, order
// and bounds, and for an input in key order the same samples and the same positions found through them.
// The scan of an input in key order finds where a key begins from its sparse samples: wherever the
// key falls, across strides and legs, beside points of NaN time and a stride that holds only those.
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

/// Keys of the points of `input` in reading order; `NAN_PRIMARY` for NaN times.
std::vector<std::uint64_t> primariesOf(const Input& input) {
    std::vector<std::uint64_t> primaries;
    input.forEachRecord(
        0, input.size(),
        [&](std::uint64_t, const std::uint8_t* record, const FileIoInterface::Las::PointRecords& records) {
            primaries.push_back(keyOf(input, records, record, false).primary);
        });
    return primaries;
}

TEST(InputScanTest, LowerBoundPartsThePointsOfAnInputInKeyOrderAtAnyKey) {
    const TemporaryFolder folder("engine-scan");
    // Two legs, each time on three points, every seventh point and a stretch longer than a sample
    // stride of NaN time.
    constexpr std::size_t LEG_POINTS[] = {5000, 4000};
    const auto nanTimeAt = [](std::size_t index) {
        return index % 7 == 3 || (index >= 2100 && index < 4200);
    };
    std::vector<PointLeg> legs(2);
    std::size_t index = 0;
    for (std::size_t leg = 0; leg < legs.size(); ++leg) {
        for (std::size_t point = 0; point < LEG_POINTS[leg]; ++point, ++index) {
            // Three points per whole second.
            const std::size_t second = index / 3;
            const double time =
                nanTimeAt(index) ? std::numeric_limits<double>::quiet_NaN() : static_cast<double>(second);
            legs[leg].push_back(makePoint(time, 1));
        }
    }
    FileIoInterface::Las::LasWriterOptions options;
    options.pointFormat = 6;
    const Input input(writeLasLegs(folder.path, "ordered", legs, options, {}));
    const InputScan scan(input, false, 2, {});
    ASSERT_TRUE(scan.inKeyOrder());
    ASSERT_GT(input.size(), 4 * InputScan::SAMPLE_STRIDE);

    const std::vector<std::uint64_t> primaries = primariesOf(input);
    std::vector<std::uint64_t> sought{0, primaryOf(-1.0), primaryOf(1e9)};
    for (std::size_t time = 0; time <= index / 3; ++time) {
        sought.push_back(primaryOf(static_cast<double>(time)));
        sought.push_back(primaryOf(static_cast<double>(time) + 0.5));
    }
    for (const std::uint64_t primary : sought) {
        // Past the last point with a time below `primary`, up to the first with a time not below.
        std::uint64_t afterBelow = 0;
        std::uint64_t firstNotBelow = input.size();
        for (std::uint64_t position = input.size(); position-- > 0;) {
            const std::uint64_t key = primaries[static_cast<std::size_t>(position)];
            if (key != NAN_PRIMARY && key >= primary) {
                firstNotBelow = position;
            } else if (key != NAN_PRIMARY && afterBelow == 0) {
                afterBelow = position + 1;
            }
        }
        const std::uint64_t bound = scan.lowerBound(input, primary, false);
        EXPECT_GE(bound, afterBelow) << "key " << primary;
        EXPECT_LE(bound, firstNotBelow) << "key " << primary;
    }
}

} // namespace
} // namespace Orvid::Testing
