// The engine's own rules beyond the library's: tolerances and ignored attributes, per-axis epsilons,
// extra values with identical bits, the test time offset and its estimate, the extent of the points.
#include "LasCloudFiles.h"
#include "MemoryPoint.h"
#include "TemporaryFolder.h"

#include <CompareEngine/CompareEngine.h>
#include <CompareEngine/TimeOffsetEstimate.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

namespace Orvid::Testing {
namespace {

namespace fs = std::filesystem;
using Compare::Engine::ComparedAttribute;
using Compare::Engine::CompareEngine;
using Compare::Engine::ComparisonOutcome;
using Compare::Engine::Decision;
using Compare::Engine::DecisionSink;
using Compare::Engine::EngineOptions;
using Compare::Engine::InputFacts;
using Compare::Engine::PointClass;
using FileIoInterface::Attribute::DataType;
using FileIoInterface::Attribute::Descriptor;
using FileIoInterface::Attribute::Value;

class ExtentSink final : public DecisionSink {
public:
    void scanned(const InputFacts& reference, const InputFacts& test) override {
        extents = {reference.extent, test.extent};
        ++scans;
        EXPECT_EQ(decisions, 0u);
    }
    void decided(const Decision&) override { ++decisions; }
    std::array<Compare::Engine::PlanarExtent, 2> extents;
    int scans = 0;
    std::uint64_t decisions = 0;
};

std::vector<Descriptor> extraDescriptors() {
    std::vector<Descriptor> list(2);
    list[0].dataType = DataType::UInt16;
    list[0].name = "Amplitude";
    list[0].scale = 0.5;
    list[1].dataType = DataType::Float;
    list[1].name = "Reflectance";
    return list;
}

/// Points on a line, one per 0.25 s, with extra values; `edit` changes the test copy of point k.
class PairOfClouds {
public:
    template <typename Edit>
    PairOfClouds(std::size_t count, Edit&& edit, std::uint8_t format = 7) {
        std::vector<PointLeg> reference(1);
        std::vector<PointLeg> test(1);
        for (std::size_t index = 0; index < count; ++index) {
            auto point = makePoint(10.0 + 0.25 * static_cast<double>(index), 1, static_cast<double>(index),
                                   2.0 * static_cast<double>(index), 1.0);
            point->intensity = 100.0;
            point->scanAngle = -11.0;
            const float reflectance = index % 2 == 0 ? std::numeric_limits<float>::quiet_NaN() : 0.5F;
            point->values = {Value{std::uint16_t{7}}, Value{reflectance}};
            auto copy = std::make_unique<MemoryPoint>(*point);
            edit(index, *copy);
            reference[0].push_back(std::move(point));
            test[0].push_back(std::move(copy));
        }
        FileIoInterface::Las::LasWriterOptions options;
        options.pointFormat = format;
        options.scaleOffset = FileIoInterface::Las::LasScaleOffset{{0.001, 0.001, 0.001}, {0.0, 0.0, 0.0}};
        referenceFiles = writeLasLegs(mFolder.path, "reference", reference, options, extraDescriptors());
        testFiles = writeLasLegs(mFolder.path, "test", test, options, extraDescriptors());
    }

    ComparisonOutcome compare(const EngineOptions& options) const {
        ExtentSink sink;
        return CompareEngine(options).compare(referenceFiles, testFiles, sink);
    }

    std::vector<fs::path> referenceFiles;
    std::vector<fs::path> testFiles;

private:
    TemporaryFolder mFolder{"engine-tolerance"};
};

std::uint64_t differing(const ComparisonOutcome& outcome, const std::string& name) {
    for (const auto& [extra, count] : outcome.extraDifferenceCounts) {
        if (extra == name) {
            return count;
        }
    }
    ADD_FAILURE() << "no counter for " << name;
    return 0;
}

TEST(CompareEngineToleranceTest, ExtraValuesWithIdenticalBitsAreEqualNanIncludedAndCountPerName) {
    // Every other reflectance is NaN on both sides; amplitudes of every third point rise by one step.
    const PairOfClouds clouds(30, [](std::size_t index, MemoryPoint& point) {
        if (index % 3 == 0) {
            point.values[0] = Value{std::uint16_t{8}};
        }
    });
    EngineOptions options;
    ComparisonOutcome outcome = clouds.compare(options);
    EXPECT_EQ(outcome.count(PointClass::altered), 10u);
    EXPECT_EQ(outcome.count(PointClass::unchanged), 20u);
    EXPECT_EQ(differing(outcome, "Amplitude"), 10u);
    EXPECT_EQ(differing(outcome, "Reflectance"), 0u);

    // The library's equality: a NaN equals nothing, so the 15 NaN reflectances differ too.
    options.identicalBitsEqual = false;
    outcome = clouds.compare(options);
    EXPECT_EQ(outcome.count(PointClass::altered), 20u);
    EXPECT_EQ(differing(outcome, "Reflectance"), 15u);

    // Amplitude is stored in half units: one stored step is 0.5 in its own units.
    options.identicalBitsEqual = true;
    options.extraTolerances["Amplitude"] = 0.5;
    EXPECT_EQ(clouds.compare(options).count(PointClass::altered), 0u);
    options.extraTolerances["Amplitude"] = 0.25;
    EXPECT_EQ(clouds.compare(options).count(PointClass::altered), 10u);
    options.extraTolerances.clear();
    options.ignoredExtras = {"Amplitude"};
    outcome = clouds.compare(options);
    EXPECT_EQ(outcome.count(PointClass::altered), 0u);
    EXPECT_EQ(differing(outcome, "Amplitude"), 0u);
}

TEST(CompareEngineToleranceTest, AttributeTolerancesAndIgnoredAttributesDecideMutatedPairs) {
    const PairOfClouds clouds(20, [](std::size_t index, MemoryPoint& point) {
        point.intensity += static_cast<double>(index % 4); // 0 to 3 more
        if (index < 5) {
            point.classification = 6;
        }
    });
    EngineOptions options;
    ComparisonOutcome outcome = clouds.compare(options);
    EXPECT_EQ(outcome.count(PointClass::mutated), 15u + 2u); // intensity on 15, class alone on 2 more
    EXPECT_EQ(outcome.differenceCounts[ComparedAttribute::intensity], 15u);
    EXPECT_EQ(outcome.differenceCounts[ComparedAttribute::classification], 5u);

    options.tolerances[static_cast<std::size_t>(ComparedAttribute::intensity)] = 2.0;
    outcome = clouds.compare(options);
    EXPECT_EQ(outcome.differenceCounts[ComparedAttribute::intensity], 5u);
    EXPECT_EQ(outcome.count(PointClass::mutated), 5u + 4u);

    options.ignored = static_cast<Compare::Engine::AttributeMask>(
        1u << static_cast<unsigned>(ComparedAttribute::intensity));
    outcome = clouds.compare(options);
    EXPECT_EQ(outcome.differenceCounts[ComparedAttribute::intensity], 0u);
    EXPECT_EQ(outcome.count(PointClass::mutated), 5u);
}

TEST(CompareEngineToleranceTest, LimitsThatNothingMeetsTellEvenIdenticalRecordsApart) {
    const PairOfClouds clouds(10, [](std::size_t /*index*/, MemoryPoint& /*point*/) {});
    EngineOptions options;
    EXPECT_EQ(clouds.compare(options).count(PointClass::unchanged), 10u);
    options.tolerances[static_cast<std::size_t>(ComparedAttribute::intensity)] =
        std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(clouds.compare(options).count(PointClass::mutated), 10u);
    options.tolerances = {};
    options.epsilonZ = -0.001;
    EXPECT_EQ(clouds.compare(options).count(PointClass::modified), 10u);
    options.epsilonZ.reset();
    options.extraTolerances["Amplitude"] = -1.0;
    EXPECT_EQ(clouds.compare(options).count(PointClass::altered), 10u);
}

TEST(CompareEngineToleranceTest, PerAxisEpsilonsAndAnExactComparison) {
    // Point k moves by k mm along z only, point 10 + k by k mm along x.
    const PairOfClouds clouds(20, [](std::size_t index, MemoryPoint& point) {
        (index < 10 ? point.z : point.x) += 0.001 * static_cast<double>(index % 10);
    });
    EngineOptions options;
    options.epsilon = 0.0;
    EXPECT_EQ(clouds.compare(options).count(PointClass::modified), 18u);
    options.epsilonZ = 0.0095;
    EXPECT_EQ(clouds.compare(options).count(PointClass::modified), 9u);
    options.epsilonXY = 0.0045;
    EXPECT_EQ(clouds.compare(options).count(PointClass::modified), 5u);
}

TEST(CompareEngineToleranceTest, ATimeOffsetIsEstimatedAndThenPairsEveryPoint) {
    const double offset = -1234.5;
    const PairOfClouds clouds(200, [&](std::size_t, MemoryPoint& point) { point.time -= offset; });
    EngineOptions options;
    ComparisonOutcome outcome = clouds.compare(options);
    EXPECT_EQ(outcome.count(PointClass::added), 200u);
    EXPECT_EQ(outcome.count(PointClass::removed), 200u);

    const auto estimate =
        Compare::Engine::estimateTimeOffset(clouds.referenceFiles, clouds.testFiles, options, 50);
    ASSERT_TRUE(estimate);
    EXPECT_EQ(estimate->offset, offset);
    EXPECT_EQ(estimate->sampled, 50u);
    EXPECT_EQ(estimate->matched, 50u);
    EXPECT_EQ(estimate->agreeing, 50u);

    options.timeOffset = estimate->offset;
    outcome = clouds.compare(options);
    EXPECT_EQ(outcome.count(PointClass::unchanged), 200u);
}

TEST(CompareEngineToleranceTest, NoEstimateForCloudsThatDoNotOverlap) {
    const PairOfClouds clouds(20, [](std::size_t, MemoryPoint& point) { point.x += 1000.0; });
    EXPECT_FALSE(
        Compare::Engine::estimateTimeOffset(clouds.referenceFiles, clouds.testFiles, EngineOptions{}));
}

TEST(CompareEngineToleranceTest, TheSinkLearnsTheExtentOfThePointsReadBeforeAnyDecision) {
    const PairOfClouds clouds(11, [](std::size_t, MemoryPoint& point) { point.y -= 5.0; });
    ExtentSink sink;
    CompareEngine(EngineOptions{}).compare(clouds.referenceFiles, clouds.testFiles, sink);
    EXPECT_EQ(sink.scans, 1);
    EXPECT_EQ(sink.extents[0].minX, 0.0);
    EXPECT_EQ(sink.extents[0].maxX, 10.0);
    EXPECT_EQ(sink.extents[0].minY, 0.0);
    EXPECT_EQ(sink.extents[0].maxY, 20.0);
    EXPECT_EQ(sink.extents[1].minY, -5.0);
    EXPECT_EQ(sink.extents[1].maxY, 15.0);
}

} // namespace
} // namespace Orvid::Testing
