// What the gatherer makes of the engine's reports: the map's frame and the class transitions.
#include "Gather/RunGatherer.h"

#include <FileIoInterface/Las/LasPoint.h>

#include <gtest/gtest.h>

namespace Orvid::Compare {
namespace {

using Engine::InputFacts;

InputFacts factsWithin(double minX, double minY, double maxX, double maxY) {
    InputFacts facts;
    facts.extent = {minX, minY, maxX, maxY};
    return facts;
}

TEST(RunGathererTest, TheMapIsFramedByThePointsReadOfBothInputs) {
    RunGatherer gatherer(true);
    gatherer.scanned(factsWithin(10.0, 20.0, 30.0, 25.0), factsWithin(5.0, 22.0, 12.0, 40.0));
    const std::optional<DifferenceMap> map = gatherer.takeMap();
    ASSERT_TRUE(map);
    const Extent& extent = map->reference.extent();
    EXPECT_EQ(extent.minX, 5.0);
    EXPECT_EQ(extent.minY, 20.0);
    EXPECT_EQ(extent.maxX, 30.0);
    EXPECT_EQ(extent.maxY, 40.0);

    // An empty input adds nothing; no point at all, no map; no map asked for, none made.
    RunGatherer oneSided(true);
    oneSided.scanned(InputFacts{}, factsWithin(1.0, 1.0, 1.0, 1.0));
    ASSERT_TRUE(oneSided.takeMap());
    RunGatherer empty(true);
    empty.scanned(InputFacts{}, InputFacts{});
    EXPECT_FALSE(empty.takeMap());
    RunGatherer unasked(false);
    unasked.scanned(factsWithin(10.0, 20.0, 30.0, 25.0), InputFacts{});
    EXPECT_FALSE(unasked.takeMap());
}

TEST(RunGathererTest, CountsClassTransitionsOfMutatedPairsWhoseClassDiffers) {
    RunGatherer gatherer(false);
    FileIoInterface::Las::LasPoint reference;
    FileIoInterface::Las::LasPoint test;
    Engine::Decision decision;
    decision.pointClass = Engine::PointClass::mutated;
    decision.referencePoint = &reference;
    decision.testPoint = &test;
    const auto classBit = static_cast<Engine::AttributeMask>(
        1u << static_cast<unsigned>(Engine::ComparedAttribute::classification));
    const auto intensityBit =
        static_cast<Engine::AttributeMask>(1u << static_cast<unsigned>(Engine::ComparedAttribute::intensity));
    for (const auto& [from, to, differences, times] :
         {std::tuple{2, 1, classBit, 3}, {1, 2, classBit, 1}, {2, 6, classBit, 2}, {2, 2, intensityBit, 5}}) {
        reference.setClassification(static_cast<std::uint8_t>(from));
        test.setClassification(static_cast<std::uint8_t>(to));
        decision.differences = differences;
        for (int time = 0; time < times; ++time) {
            gatherer.decided(decision);
        }
    }
    const std::map<std::pair<std::uint8_t, std::uint8_t>, std::uint64_t> expected{
        {{1, 2}, 1}, {{2, 1}, 3}, {{2, 6}, 2}};
    EXPECT_EQ(gatherer.summary().classTransitions, expected);
    EXPECT_EQ(gatherer.summary().counts[DifferenceClass::mutated], 11u);
}

} // namespace
} // namespace Orvid::Compare
