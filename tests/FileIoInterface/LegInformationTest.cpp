#include <FileIoInterface/LegInformation.h>

#include <gtest/gtest.h>

#include <utility>

namespace {

using Orvid::FileIoInterface::LegInformation;
using Orvid::FileIoInterface::Attribute::Descriptor;
using Orvid::Maths::SpinDirection;

const std::vector<Descriptor> THREE = {Descriptor(), Descriptor(), Descriptor()};

// The fields a leg takes from the library when none are given.
void expectDefaults(const LegInformation& leg) {
    EXPECT_TRUE(leg.filePath.empty());
    EXPECT_EQ(leg.lidarId, "Unknown LiDAR System");
    EXPECT_TRUE(leg.comment.empty());
    EXPECT_EQ(leg.softwareId, "rbContinua");
}

TEST(LegInformation, ConstructorsFallBackToTheLibraryDefaults) {
    EXPECT_EQ(LegInformation::DEFAULT_LIDAR_ID + LegInformation::DEFAULT_SOFTWARE_ID,
              "Unknown LiDAR SystemrbContinua");
    const LegInformation none;
    expectDefaults(none);
    EXPECT_EQ(none.str(), "LegInformation: ");
    EXPECT_FALSE(none.number);
    EXPECT_EQ(none.spinDirection, SpinDirection{0});
    EXPECT_TRUE(none.attributes.empty());

    const LegInformation described(THREE);
    expectDefaults(described);
    EXPECT_EQ(described.attributes.size(), 3U);

    const LegInformation named("L3", 7U, SpinDirection::CounterClockwise);
    expectDefaults(named);
    EXPECT_EQ(named.str(), "LegInformation: L3 #7");
    EXPECT_EQ(named.spinDirection, SpinDirection::CounterClockwise);

    const LegInformation emptyIds("", "", "", std::nullopt, SpinDirection::Clockwise, "", "", {});
    expectDefaults(emptyIds);
    EXPECT_TRUE(emptyIds.name.empty());

    const LegInformation given("L1", "/l1.las", " ", 2U, SpinDirection::Clockwise, "note", "  ", THREE);
    EXPECT_EQ(given.filePath, "/l1.las");
    EXPECT_EQ(given.lidarId, " ");
    EXPECT_EQ(given.comment, "note");
    EXPECT_EQ(given.softwareId, "  ");
    EXPECT_EQ(given.attributes.size(), 3U);
}

TEST(LegInformation, StrAddsTheNumberOnlyWhenThereIsOne) {
    EXPECT_EQ(LegInformation("L3", std::nullopt, SpinDirection{}).str(), "LegInformation: L3");
    EXPECT_EQ(LegInformation("X", 0U, SpinDirection{}).str(), "LegInformation: X #0");
    EXPECT_EQ(LegInformation("X", 4294967295U, SpinDirection{}).str(), "LegInformation: X #4294967295");
}

TEST(LegInformation, MoveEmptiesTheSourceButKeepsItsNumberAndSpin) {
    std::vector<Descriptor> attributes = THREE;
    attributes[1].scale = 0.5;
    const LegInformation reference("L1", "/l1", "lidar", 4U, SpinDirection::Clockwise, "c", "sw", attributes);
    const auto expectMovedFrom = [](const LegInformation& leg) {
        EXPECT_EQ(leg.str(), "LegInformation:  #4");
        EXPECT_TRUE(leg.filePath.empty() && leg.lidarId.empty() && leg.comment.empty() &&
                    leg.softwareId.empty() && leg.attributes.empty());
        EXPECT_EQ(leg.spinDirection, SpinDirection::Clockwise);
    };
    const auto expectReference = [&attributes](const LegInformation& leg) {
        EXPECT_EQ(leg.str(), "LegInformation: L1 #4");
        EXPECT_EQ(leg.filePath.string() + leg.lidarId + leg.comment + leg.softwareId, "/l1lidarcsw");
        EXPECT_EQ(leg.attributes, attributes);
    };

    LegInformation source(reference);
    LegInformation moved(std::move(source));
    expectReference(moved);
    expectMovedFrom(source);
    LegInformation assigned;
    assigned = std::move(moved);
    expectReference(assigned);
    expectMovedFrom(moved);
    assigned = reference;
    expectReference(assigned);
}

} // namespace
