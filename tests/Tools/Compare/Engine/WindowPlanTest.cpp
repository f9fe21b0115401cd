// The windows of a comparison and their key indexes: every point of an input not in key order is in
// exactly one window's index, each index is sorted and within the budget, and the windows follow
// each other without gap or overlap; the index of a single time keeps reading order within each return.
#include "WindowPlan.h"
#include "InputScan.h"
#include "KeyIndex.h"
#include "LasCloudFiles.h"
#include "MemoryPoint.h"
#include "PointTallying.h"
#include "TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <limits>

namespace Orvid::Testing {
namespace {

namespace fs = std::filesystem;
using namespace Compare::Engine;

TEST(WindowPlanTest, IndexesEveryPointOnceInContiguousWindowsWithinTheBudget) {
    const TemporaryFolder folder("engine-windows");
    const SyntheticSurvey::SurveyParameters survey{2, 15000, 3};
    const std::vector<fs::path> ordered = writeSurveyLegs(folder.path, "ordered", survey);
    std::vector<fs::path> shuffled;
    for (std::size_t leg = 0; leg < ordered.size(); ++leg) {
        shuffled.push_back(folder / ("shuffled-" + std::to_string(leg) + ".las"));
        writeShuffledCopy(ordered[leg], shuffled.back(), leg + 5);
    }
    // A leg of NaN times on four return numbers, 30 points each.
    std::vector<PointLeg> nanLeg(1);
    for (std::size_t index = 0; index < 120; ++index) {
        nanLeg[0].push_back(makePoint(std::numeric_limits<double>::quiet_NaN(), 1 + index % 4));
    }
    FileIoInterface::Las::LasWriterOptions options;
    options.pointFormat = 6;
    shuffled.push_back(writeLasLegs(folder.path, "nan", nanLeg, options, {}).front());

    const Input reference(ordered);
    const Input test(shuffled);
    const InputScan referenceScan(reference, false, 2, {});
    const InputScan testScan(test, false, 2, {});
    ASSERT_TRUE(referenceScan.inKeyOrder());
    ASSERT_FALSE(testScan.inKeyOrder());
    ASSERT_EQ(testScan.nanTimes(), 120u);

    for (const std::uint64_t maxEntries : {std::uint64_t{25}, std::uint64_t{4000}, std::uint64_t{1} << 40}) {
        SCOPED_TRACE("at most " + std::to_string(maxEntries) + " entries");
        const std::vector<PlannedWindow> windows = planWindows(
            {PlanInput{&reference, &referenceScan}, PlanInput{&test, &testScan}}, maxEntries, 2, {});
        ASSERT_FALSE(windows.empty());
        EXPECT_EQ(windows.front().window.lowest,
                  std::min(referenceScan.lowestPrimary(), testScan.lowestPrimary()));
        std::vector<bool> indexed(static_cast<std::size_t>(test.size()), false);
        std::size_t timeWindows = 0;
        for (std::size_t index = 0; index < windows.size(); ++index) {
            const PlannedWindow& planned = windows[index];
            EXPECT_EQ(planned.entries[0], 0u) << "the reference is streamed";
            if (index > 0 && windows[index - 1].window.nanTimes == planned.window.nanTimes) {
                EXPECT_EQ(planned.window.lowest, windows[index - 1].window.end) << "window " << index;
            }
            if (!planned.window.nanTimes) {
                ++timeWindows;
                EXPECT_TRUE(index == 0 || !windows[index - 1].window.nanTimes) << "time windows come first";
            }
            const KeyIndex keys = buildKeyIndex(test, planned.window, planned.entries[1], false, 2);
            EXPECT_EQ(keys.size(), planned.entries[1]);
            // Only the points of one time (up to 4 returns), or the NaN times of one return number
            // (30), may exceed the budget.
            EXPECT_LE(keys.size(), std::max<std::uint64_t>(maxEntries, planned.window.nanTimes ? 30 : 4));
            EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
            for (const KeyEntry& entry : keys) {
                EXPECT_FALSE(indexed[static_cast<std::size_t>(entry.position())]) << entry.position();
                indexed[static_cast<std::size_t>(entry.position())] = true;
            }
        }
        EXPECT_EQ(std::count(indexed.begin(), indexed.end(), false), 0);
        EXPECT_EQ(windows.back().window.nanTimes, true);
        if (maxEntries > test.size()) {
            EXPECT_EQ(timeWindows, 1u);
        } else {
            EXPECT_GT(timeWindows, test.size() / maxEntries / 2);
        }
    }
}

TEST(WindowPlanTest, IndexesTheReturnsOfASingleTimeInReadingOrder) {
    // Points at one time on return numbers that change from point to point, over several pieces of a
    // scan, the last one short.
    const TemporaryFolder folder("engine-single-time");
    constexpr std::size_t POINTS = 140000;
    std::vector<PointLeg> legs(1);
    std::array<PlanarExtent, SECONDARY_COUNT> expectedExtents;
    expectedExtents.fill(GROWING_EXTENT);
    for (std::size_t index = 0; index < POINTS; ++index) {
        const std::size_t returnNumber = 1 + (index * 7) % 5;
        const std::size_t row = index / 1000;
        const double x = static_cast<double>(index % 1000) - 20.0 * static_cast<double>(returnNumber);
        const double y = static_cast<double>(row) + 3.0 * static_cast<double>(returnNumber);
        legs[0].push_back(makePoint(2.5, returnNumber, x, y));
        PlanarExtent& extent =
            expectedExtents[secondaryOf(static_cast<std::uint8_t>(returnNumber), 0, false)];
        extent = {std::min(extent.minX, x), std::min(extent.minY, y), std::max(extent.maxX, x),
                  std::max(extent.maxY, y)};
    }
    FileIoInterface::Las::LasWriterOptions options;
    options.pointFormat = 6;
    const Input input(writeLasLegs(folder.path, "one-time", legs, options, {}));
    const std::uint64_t primary = primaryOf(2.5);
    const Window window{false, primary, primary + 1};
    const KeyIndex keys = buildKeyIndex(input, window, POINTS, false, 2);
    ASSERT_EQ(keys.size(), POINTS);
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
    EXPECT_EQ(keys[0].position(), 0u);
    EXPECT_EQ(keys[0].key().secondary, secondaryOf(1, 0, false));
    EXPECT_EQ(keys[POINTS - 1].key().secondary, secondaryOf(5, 0, false));
    EXPECT_EQ(keys.extentsBySecondary(), nullptr);

    // The scan's counts spare the index its counting pass, and give the same index; the extents of the
    // returns come with it when asked for.
    const InputScan scan(input, false, 2, {});
    ASSERT_NE(scan.countsIn(window), nullptr);
    EXPECT_EQ(scan.countsIn(Window{false, primary + 1, primary + 2}), nullptr);
    for (const bool withExtents : {false, true}) {
        const KeyIndex counted =
            buildKeyIndex(input, window, POINTS, false, 2, scan.countsIn(window), withExtents);
        ASSERT_TRUE(std::equal(keys.begin(), keys.end(), counted.begin(), counted.end(),
                               [](const KeyEntry& a, const KeyEntry& b) {
                                   return a.primary == b.primary &&
                                          a.secondaryAndPosition == b.secondaryAndPosition;
                               }));
        ASSERT_EQ(counted.extentsBySecondary() != nullptr, withExtents);
        if (withExtents) {
            for (std::size_t secondary = 0; secondary < SECONDARY_COUNT; ++secondary) {
                const PlanarExtent& extent = (*counted.extentsBySecondary())[secondary];
                const PlanarExtent& expected = expectedExtents[secondary];
                EXPECT_EQ(extent.minX, expected.minX) << "secondary " << secondary;
                EXPECT_EQ(extent.minY, expected.minY) << "secondary " << secondary;
                EXPECT_EQ(extent.maxX, expected.maxX) << "secondary " << secondary;
                EXPECT_EQ(extent.maxY, expected.maxY) << "secondary " << secondary;
            }
        }
    }
}

} // namespace
} // namespace Orvid::Testing
