#include <FileIoInterface/LegInformation.h>

#include <gtest/gtest.h>

#include <utility>

namespace {

using Orvid::FileIoInterface::LegInformation;
using Orvid::FileIoInterface::Attribute::Descriptor;
using Orvid::Maths::SpinDirection;

const std::vector<Descriptor> THREE(3);

// Path, lidar, comment and software, joined by '|'.
std::string texts(const LegInformation& leg) {
    return leg.filePath.string() + "|" + leg.lidarId + "|" + leg.comment + "|" + leg.softwareId;
}

const std::string DEFAULTS = "|Unknown LiDAR System||rbContinua";

TEST(LegInformation, ConstructorsFallBackToTheLibraryDefaults) {
    const LegInformation none;
    EXPECT_EQ(texts(none), DEFAULTS);
    EXPECT_EQ(none.str(), "LegInformation: ");

    const LegInformation described(THREE);
    EXPECT_EQ(texts(described), DEFAULTS);
    EXPECT_EQ(described.attributes.size(), 3U);

    const LegInformation named("L3", 7U, SpinDirection::CounterClockwise);
    EXPECT_EQ(texts(named), DEFAULTS);
    EXPECT_EQ(named.str(), "LegInformation: L3 #7");
    EXPECT_EQ(named.spinDirection, SpinDirection::CounterClockwise);

    EXPECT_EQ(texts(LegInformation("", "", "", std::nullopt, SpinDirection::Clockwise, "", "", {})),
              DEFAULTS);
    const LegInformation given("L1", "/l1.las", " ", 2U, SpinDirection::Clockwise, "note", "  ", THREE);
    EXPECT_EQ(texts(given), "/l1.las| |note|  ");
    EXPECT_EQ(given.attributes.size(), 3U);

    EXPECT_EQ(LegInformation("L3", std::nullopt, SpinDirection{}).str(), "LegInformation: L3");
    EXPECT_EQ(LegInformation("X", 0U, SpinDirection{}).str(), "LegInformation: X #0");
    EXPECT_EQ(LegInformation("X", 4294967295U, SpinDirection{}).str(), "LegInformation: X #4294967295");
}

TEST(LegInformation, MoveEmptiesTheSourceButKeepsItsNumberAndSpin) {
    std::vector<Descriptor> attributes = THREE;
    attributes[1].scale = 0.5;
    const auto expectMoved = [&attributes](const LegInformation& to, const LegInformation& from) {
        EXPECT_EQ(to.str() + texts(to), "LegInformation: L1 #4/l1|lidar|c|sw");
        EXPECT_EQ(to.attributes, attributes);
        EXPECT_EQ(from.str() + texts(from), "LegInformation:  #4|||");
        EXPECT_TRUE(from.attributes.empty());
        EXPECT_TRUE(to.spinDirection == SpinDirection::Clockwise && from.spinDirection == to.spinDirection);
    };
    LegInformation source("L1", "/l1", "lidar", 4U, SpinDirection::Clockwise, "c", "sw", attributes);
    LegInformation moved(std::move(source));
    expectMoved(moved, source);
    LegInformation assigned;
    assigned = std::move(moved);
    expectMoved(assigned, moved);
}

} // namespace
