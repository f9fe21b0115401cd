#include <FileIoInterface/ColorRGB.h>

#include <gtest/gtest.h>

namespace {

using Orvid::FileIoInterface::ColorRGB;

TEST(ColorRGB, DefaultsToBlack) {
    EXPECT_EQ(ColorRGB(), ColorRGB::DEFAULT);
    EXPECT_EQ(ColorRGB::DEFAULT.red, 0);
    EXPECT_EQ(ColorRGB::DEFAULT.green, 0);
    EXPECT_EQ(ColorRGB::DEFAULT.blue, 0);
}

TEST(ColorRGB, EqualityComparesEveryChannel) {
    EXPECT_EQ(ColorRGB(1, 2, 3), ColorRGB(1, 2, 3));
    EXPECT_NE(ColorRGB(1, 2, 3), ColorRGB(0, 2, 3));
    EXPECT_NE(ColorRGB(1, 2, 3), ColorRGB(1, 0, 3));
    EXPECT_NE(ColorRGB(1, 2, 3), ColorRGB(1, 2, 0));
}

TEST(ColorRGB, ToleranceAppliesToEachChannelInclusively) {
    const ColorRGB a(100, 200, 300);
    const ColorRGB b(110, 190, 300);
    EXPECT_TRUE(a.isEquivalentTo(b, 10));
    EXPECT_TRUE(b.isEquivalentTo(a, 10));
    EXPECT_FALSE(a.isEquivalentTo(b, 9));
    EXPECT_FALSE(b.isEquivalentTo(a, 9));

    EXPECT_FALSE(ColorRGB(5, 5, 5).isEquivalentTo(ColorRGB(5, 5, 7), 1));
    EXPECT_FALSE(ColorRGB(5, 5, 5).isEquivalentTo(ColorRGB(5, 7, 5), 1));
    EXPECT_TRUE(ColorRGB(5, 5, 5).isEquivalentTo(ColorRGB(5, 5, 5), 0));
    EXPECT_FALSE(ColorRGB(5, 5, 5).isEquivalentTo(ColorRGB(5, 5, 6), 0));
}

TEST(ColorRGB, TheWholeChannelRangeNeverWrapsAround) {
    const ColorRGB black(0, 0, 0);
    const ColorRGB white(65535, 65535, 65535);
    EXPECT_TRUE(black.isEquivalentTo(white, 65535));
    EXPECT_TRUE(white.isEquivalentTo(black, 65535));
    EXPECT_FALSE(black.isEquivalentTo(white, 65534));
    EXPECT_FALSE(white.isEquivalentTo(black, 65534));
}

TEST(ColorRGB, AssignmentCopiesTheChannels) {
    ColorRGB target(9, 9, 9);
    const ColorRGB source(1, 2, 3);
    target = source;
    EXPECT_EQ(target, ColorRGB(1, 2, 3));
    target = ColorRGB(4, 5, 6);
    EXPECT_EQ(target, ColorRGB(4, 5, 6));
}

} // namespace
