#include <FileIoInterface/ColorRGB.h>

#include <gtest/gtest.h>

namespace {

using Orvid::FileIoInterface::ColorRGB;

TEST(ColorRGB, DefaultsToBlackAndComparesEveryChannel) {
    EXPECT_EQ(ColorRGB(), ColorRGB::DEFAULT);
    EXPECT_EQ(ColorRGB::DEFAULT, ColorRGB(0, 0, 0));
    const ColorRGB base(100, 200, 300);
    EXPECT_EQ(base, ColorRGB(100, 200, 300));
    EXPECT_TRUE(base.isEquivalentTo(base, 0));
    // Each channel alone makes the difference, and the tolerance bounds it inclusively, both ways.
    for (const ColorRGB other : {ColorRGB(110, 200, 300), ColorRGB(100, 190, 300), ColorRGB(100, 200, 310)}) {
        EXPECT_NE(base, other);
        EXPECT_TRUE(base.isEquivalentTo(other, 10) && other.isEquivalentTo(base, 10));
        EXPECT_FALSE(base.isEquivalentTo(other, 9) || other.isEquivalentTo(base, 9));
    }
}

TEST(ColorRGB, TheWholeChannelRangeNeverWrapsAround) {
    const ColorRGB black(0, 0, 0);
    const ColorRGB white(65535, 65535, 65535);
    EXPECT_TRUE(black.isEquivalentTo(white, 65535) && white.isEquivalentTo(black, 65535));
    EXPECT_FALSE(black.isEquivalentTo(white, 65534) || white.isEquivalentTo(black, 65534));
}

} // namespace
