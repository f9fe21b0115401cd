#include <FileIoInterface/Las/LasPoint.h>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace Orvid::FileIoInterface;
using Las::LasPoint;

TEST(LasPoint, StaysWithinNinetySixBytesBesideItsValues) {
    EXPECT_LE(sizeof(LasPoint), 96U);
}

TEST(LasPoint, SettersKeepWhatThePointCanHold) {
    LasPoint point;
    const auto intensityOf = [&point](double value) {
        point.setIntensity(value);
        return point.getRawIntensity();
    };
    EXPECT_EQ(intensityOf(70000.0), 65535);
    EXPECT_EQ(intensityOf(-3.0), 0);
    EXPECT_EQ(intensityOf(std::nan("")), 0);
    EXPECT_EQ(intensityOf(12.5), 13);
    point.setScanAngle(-12.3456);
    EXPECT_EQ(point.getScanAngleMillidegrees(), -12346);
    EXPECT_DOUBLE_EQ(point.getScanAngle(), -12.346);
    point.setScanAngle(std::nan(""));
    EXPECT_EQ(point.getScanAngle(), 0.0);
    point.setReturnNumber(300);
    point.setNbReturns(9);
    EXPECT_EQ(point.getReturnNumber(), 255U);
    EXPECT_EQ(point.getNbReturns(), 9U);

    // Flags, channel, direction and edge share one byte: each setter keeps to its bits.
    point.setClassificationFlags(ClassificationFlags::fromMask(0xFF));
    point.setScannerChannel(7);
    point.setScanDirection(5);
    point.setEdgeOfFlightLine(0);
    EXPECT_EQ(point.getClassificationFlags().mask(), 0x0FU);
    EXPECT_EQ(point.getScannerChannel(), 3);
    EXPECT_EQ(point.getScanDirection(), 1);
    EXPECT_EQ(point.getEdgeOfFlightLine(), 0);
    point.setClassificationFlags({ClassificationFlag::Withheld});
    EXPECT_EQ(point.getScannerChannel(), 3);
    EXPECT_EQ(point.getScanDirection(), 1);
    EXPECT_FALSE(point.getSourcePointFormat().has_value());
}

TEST(LasPoint, CloneAndAssignmentCopyEveryFieldAndOwnTheirWavePacket) {
    LasPoint source({Attribute::Value{std::int16_t{-4}}});
    source.setTime(17.25);
    source.setX(1.5);
    source.setColor({1, 2, 3});
    source.setNir(4);
    source.setSourcePointFormat(10);
    source.setWavePacket(Las::LasWavePacket{3, 1000, 64, 1.5f, 0.1f, 0.2f, 0.3f});

    const std::unique_ptr<InputOutputPoint> clone = source.clone();
    source.setWavePacket(std::nullopt);
    const auto* copy = dynamic_cast<const LasPoint*>(clone.get());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::make_tuple(copy->getTime(), copy->getX(), copy->getColor(), copy->getNir()),
              std::make_tuple(17.25, 1.5, ColorRGB(1, 2, 3), std::uint16_t{4}));
    EXPECT_EQ(copy->getSourcePointFormat(), std::optional<std::uint8_t>(10));
    EXPECT_EQ(copy->values, source.values);
    ASSERT_NE(copy->getWavePacket(), nullptr);
    EXPECT_EQ(copy->getWavePacket()->dataOffset, 1000U);

    LasPoint assigned;
    assigned = *copy;
    EXPECT_EQ(assigned.getWavePacket()->size, 64U);
    assigned = source;
    EXPECT_EQ(assigned.getWavePacket(), nullptr);
    EXPECT_EQ(assigned.values, source.values);
}

} // namespace
