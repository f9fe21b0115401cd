// orvid-compare on pairs with a known relation: a format upgrade that rounds scan angles, a change of
// GPS time standard and a constant clock offset, and a header whose bounds are zero.
#include "CommandRunner.h"
#include "LasCloudFiles.h"
#include "MemoryPoint.h"
#include "TemporaryFolder.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using namespace Orvid::Testing;
using namespace Orvid::Testing::Compare;
using Orvid::FileIoInterface::Las::LasWriterOptions;

/// Seconds from the start of GPS time to the start of week 2000, less 10^9: what turns a week time of
/// that week into adjusted standard GPS time.
constexpr double WEEK_2000_ADJUSTED = 2000.0 * 604800.0 - 1e9;
constexpr std::size_t POINTS = 400;

/// A strip of points with times 1/64 s apart from `firstTime`, scan angles from -20 to 20 degrees.
std::vector<PointLeg> strip(double firstTime) {
    std::vector<PointLeg> legs(1);
    for (std::size_t index = 0; index < POINTS; ++index) {
        // Rows of twenty points.
        const std::size_t row = index / 20;
        auto point = makePoint(firstTime + static_cast<double>(index) / 64.0, 1,
                               0.5 * static_cast<double>(index % 20), 0.5 * static_cast<double>(row), 3.0);
        point->scanAngle = static_cast<double>(static_cast<int>(index % 41) - 20);
        point->intensity = 50.0;
        legs[0].push_back(std::move(point));
    }
    return legs;
}

fs::path writeStrip(const fs::path& folder, const std::string& name, double firstTime, std::uint8_t format,
                    std::uint8_t versionMinor, bool adjusted) {
    LasWriterOptions options;
    options.pointFormat = format;
    options.versionMinor = versionMinor;
    options.adjustedStandardGpsTime = adjusted;
    options.scaleOffset = Orvid::FileIoInterface::Las::LasScaleOffset{{0.01, 0.01, 0.01}, {0.0, 0.0, 0.0}};
    return writeLasLegs(folder, name, strip(firstTime), options, {}).front();
}

class CompareTolerance : public ::testing::Test {
protected:
    std::pair<Outcome, json> compare(std::vector<std::string> options, const fs::path& reference,
                                     const fs::path& test) const {
        const fs::path report = mFolder.path / "report.json";
        fs::remove(report);
        options.insert(options.end(), {"--json", report.string(), reference.string(), test.string()});
        Outcome outcome = run(options, mFolder.path);
        std::ifstream file(report);
        return {outcome, file ? json::parse(file) : json()};
    }

    TemporaryFolder mFolder;
};

TEST_F(CompareTolerance, AFormatUpgradeComparesEqualUnlessScanAnglesMustMatchExactly) {
    // Whole degrees in LAS 1.2 format 3; steps of 0.006 degrees in LAS 1.4 format 7, where -11 becomes
    // -10.998. Only the angles that are multiples of 0.006 degrees (multiples of 3) survive exactly.
    const fs::path old = writeStrip(mFolder.path, "old", 1000.0, 3, 2, false);
    const fs::path upgraded = writeStrip(mFolder.path, "new", 1000.0, 7, 4, false);
    std::uint64_t rounded = 0;
    for (std::size_t index = 0; index < POINTS; ++index) {
        rounded += (static_cast<int>(index % 41) - 20) % 3 != 0 ? 1u : 0u;
    }

    const auto [same, report] = compare({}, old, upgraded);
    EXPECT_EQ(same.status, 0) << same.err << same.out;
    EXPECT_EQ(report["parameters"]["tolerances"]["scanAngle"], 0.5);
    EXPECT_EQ(report["parameters"]["tolerances"]["intensity"], 0.0);
    EXPECT_EQ(report["parameters"]["tolerances"]["gpsTime"], 0.0);
    EXPECT_NE(same.out.find("Tolerances: intensity=0 "), std::string::npos) << same.out;
    EXPECT_NE(same.out.find(" scanAngle=0.5 "), std::string::npos) << same.out;

    const auto [exact, exactReport] = compare({"--tolerance", "scanAngle=0"}, old, upgraded);
    EXPECT_EQ(exact.status, 1);
    EXPECT_EQ(exactReport["counts"]["mutated"], rounded);
    EXPECT_EQ(exactReport["attributeDifferences"]["scanAngle"], rounded);
    EXPECT_EQ(exactReport["parameters"]["tolerances"]["scanAngle"], 0.0);

    const auto [ignored, ignoredReport] =
        compare({"--tolerance", "scanAngle=0", "--ignore", "scanAngle"}, old, upgraded);
    EXPECT_EQ(ignored.status, 0);
    EXPECT_EQ(ignoredReport["parameters"]["ignored"], json{"scanAngle"});
    EXPECT_FALSE(ignoredReport["parameters"]["tolerances"].contains("scanAngle"));
    EXPECT_NE(ignored.out.find("Ignored:   scanAngle"), std::string::npos) << ignored.out;
    EXPECT_NE(ignored.out.find("\tscanAngle:\tignored\n"), std::string::npos) << ignored.out;
}

TEST_F(CompareTolerance, ASwitchOfTimeStandardIsNamedAndItsOffsetSuggestedThenApplied) {
    const fs::path adjusted = writeStrip(mFolder.path, "adjusted", WEEK_2000_ADJUSTED + 3600.0, 7, 4, true);
    const fs::path week = writeStrip(mFolder.path, "week", 3600.0, 7, 4, false);

    const auto [apart, report] = compare({}, adjusted, week);
    EXPECT_EQ(apart.status, 1);
    EXPECT_EQ(report["counts"]["removed"], POINTS);
    EXPECT_EQ(report["inputs"]["reference"]["timeStandard"], "adjusted standard GPS time");
    EXPECT_EQ(report["inputs"]["test"]["timeStandard"], "GPS week time");
    ASSERT_EQ(report["time"]["notes"].size(), 2U) << report["time"];
    EXPECT_EQ(
        report["time"]["notes"][0].get<std::string>().rfind("the inputs declare different time standards", 0),
        0U);
    EXPECT_EQ(report["time"]["suggestedOffset"]["seconds"], WEEK_2000_ADJUSTED);
    EXPECT_EQ(report["time"]["suggestedOffset"]["option"], "--time-offset 209600000");
    // The summary opens with what it found about the times.
    const std::size_t summary = apart.out.find("\nNote: the inputs declare different time standards");
    EXPECT_NE(summary, std::string::npos) << apart.out;
    EXPECT_LT(summary, apart.out.find("Summary: "));
    EXPECT_NE(apart.out.find("compare again with --time-offset 209600000"), std::string::npos) << apart.out;

    const auto [paired, pairedReport] = compare({"--time-offset", "209600000"}, adjusted, week);
    EXPECT_EQ(paired.status, 0) << paired.out;
    EXPECT_EQ(pairedReport["parameters"]["timeOffset"], WEEK_2000_ADJUSTED);
    EXPECT_TRUE(pairedReport["time"]["suggestedOffset"].is_null());
}

TEST_F(CompareTolerance, AConstantClockOffsetIsSuggestedExactlyAndThenPairsEveryPoint) {
    const fs::path reference = writeStrip(mFolder.path, "reference", 5000.0, 1, 2, false);
    const fs::path late = writeStrip(mFolder.path, "late", 5000.0 + 17.328125, 1, 2, false);
    const auto [apart, report] = compare({}, reference, late);
    EXPECT_EQ(apart.status, 1);
    ASSERT_EQ(report["time"]["notes"].size(), 1U) << report["time"];
    EXPECT_EQ(report["time"]["suggestedOffset"]["option"], "--time-offset -17.328125");
    EXPECT_EQ(report["time"]["suggestedOffset"]["agreeing"], report["time"]["suggestedOffset"]["matched"]);

    const auto [paired, pairedReport] = compare({"--time-offset", "-17.328125"}, reference, late);
    EXPECT_EQ(paired.status, 0) << paired.out;
    EXPECT_EQ(pairedReport["counts"]["added"], 0);
}

TEST_F(CompareTolerance, EpsilonZeroMeansTheSameStoredPositionWhateverTheOffsets) {
    // The strip some 4600 km from the origin, to the millimetre, stored against two offsets.
    const auto write = [&](const std::string& name, const Orvid::FileIoInterface::Las::Xyz& offset,
                           double moved) {
        std::vector<PointLeg> legs = strip(1000.0);
        for (std::size_t index = 0; index < POINTS; ++index) {
            auto& point = legs[0][index];
            const double millimetres = 0.001 * static_cast<double>(index * 37 % 1000);
            point->setX(point->getX() + 4600000.0 + millimetres);
            point->setY(point->getY() + 5200000.0 + millimetres);
        }
        legs[0][7]->setZ(legs[0][7]->getZ() + moved);
        LasWriterOptions options;
        options.pointFormat = 1;
        options.versionMinor = 2;
        options.scaleOffset = Orvid::FileIoInterface::Las::LasScaleOffset{{0.001, 0.001, 0.001}, offset};
        return writeLasLegs(mFolder.path, name, legs, options, {}).front();
    };
    const fs::path reference = write("reference", {4600000.0, 5200000.0, 0.0}, 0.0);
    const fs::path reoffset = write("reoffset", {4599123.457, 5199876.543, 12.345}, 0.0);
    const auto [same, report] = compare({"--epsilon", "0"}, reference, reoffset);
    EXPECT_EQ(same.status, 0) << same.out;
    EXPECT_EQ(report["parameters"]["epsilonSource"], "exact");
    EXPECT_EQ(report["parameters"]["epsilon"], 1e-6);
    EXPECT_NE(
        same.out.find("Epsilon:   1e-06 (0 given: the same stored position at the finest scale factor)"),
        std::string::npos)
        << same.out;

    // Compared as doubles, bit for bit, many of them would seem to have moved by some 1e-10.
    EXPECT_GT(compare({"--epsilon", "1e-300"}, reference, reoffset).second["counts"]["modified"], 100);
    // One step of the scale is a move.
    const auto [moved, movedReport] =
        compare({"--epsilon", "0"}, reference, write("moved", {4599123.457, 5199876.543, 12.345}, 0.001));
    EXPECT_EQ(moved.status, 1);
    EXPECT_EQ(movedReport["counts"]["modified"], 1);
}

} // namespace
