#include <FileIoInterface/LumivareAttributes.h>

#include "AssertRecorder.h"

#include <gtest/gtest.h>

namespace {

using Orvid::FileIoInterface::Attribute::DataType;
using Orvid::FileIoInterface::Attribute::Descriptor;
using Orvid::FileIoInterface::Attribute::Value;
using Orvid::FileIoInterface::Lumivare::getRieglAttributes;
using Orvid::FileIoInterface::Lumivare::getStandardAttributes;
using Orvid::Testing::assertText;

TEST(LumivareAttributes, CatalogueHoldsTheSixDescriptorsInOrder) {
    Orvid::Testing::AssertRecorder asserts;
    const std::vector<Descriptor> standard = getStandardAttributes();
    const std::vector<Descriptor> riegl = getRieglAttributes();
    ASSERT_EQ(standard.size(), 3U);
    ASSERT_EQ(riegl.size(), 6U);
    EXPECT_TRUE(std::equal(standard.begin(), standard.end(), riegl.begin()));

    const struct {
        DataType dataType;
        const char* name;
        const char* description;
        unsigned long options;
    } expected[] = {
        {DataType::UInt16, "Lumi Vare photo index", "Source Lumi Vare photo", 0},
        {DataType::Float, "Lumi Vare Range", "LIDAR to object distance", 0},
        {DataType::UInt64, "Laser Incident CUV", "Compact unit vec, LIDAR to obj", 0},
        {DataType::UInt16, "Amplitude", "Echo signal amplitude [dB]", 15},
        {DataType::Int16, "Reflectance", "Echo signal reflectance [dB]", 14},
        {DataType::UInt16, "Deviation", "Pulse shape deviation", 7},
    };
    for (std::size_t i = 0; i < riegl.size(); ++i) {
        EXPECT_EQ(riegl[i].dataType, expected[i].dataType) << i;
        EXPECT_EQ(riegl[i].name, expected[i].name) << i;
        EXPECT_EQ(riegl[i].description, expected[i].description) << i;
        EXPECT_EQ(riegl[i].options().to_ulong(), expected[i].options) << i;
    }
    const auto u16 = [](std::uint16_t v) { return Value{v}; };
    EXPECT_EQ(riegl[3].noData, u16(65535));
    EXPECT_EQ(riegl[3].min, u16(0));
    EXPECT_EQ(riegl[3].max, u16(10000));
    EXPECT_EQ(riegl[4].min, Value{std::int16_t{-5000}});
    EXPECT_EQ(riegl[4].max, Value{std::int16_t{15000}});
    EXPECT_NE(riegl[4].min, Value{std::int32_t{-5000}});
    EXPECT_NE(riegl[4].min, u16(static_cast<std::uint16_t>(-5000)));
    EXPECT_EQ(riegl[5].noData, u16(65535));
    EXPECT_EQ(riegl[5].min, u16(0));
    EXPECT_EQ(riegl[5].max, u16(32767));
    EXPECT_EQ(riegl[3].getScaleValue(), 0.01);
    EXPECT_EQ(riegl[4].getScaleValue(), 0.01);
    EXPECT_TRUE(asserts.reports().empty());

    riegl[5].getScaleValue();
    riegl[0].getScaleValue();
    const std::vector<std::string> twice = {assertText("has< O >()"), assertText("option"),
                                            assertText("has< O >()"), assertText("option")};
    EXPECT_EQ(asserts.messages(), twice);
}

TEST(LumivareAttributes, EveryCallReturnsAnIndependentList) {
    std::vector<Descriptor> first = getRieglAttributes();
    const std::vector<Descriptor> second = getRieglAttributes();
    EXPECT_EQ(first, second);
    first[3].scale = 1.0;
    first[0].name = "changed";
    EXPECT_EQ(second, getRieglAttributes());
    EXPECT_EQ(getRieglAttributes()[3].getScaleValue(), 0.01);
    EXPECT_EQ(getStandardAttributes()[0].name, "Lumi Vare photo index");
}

} // namespace
