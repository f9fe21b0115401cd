#include <FileIoInterface/AttributeDescriptor.h>
#include <FileIoInterface/LumivareAttributes.h>

#include "AssertRecorder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <tuple>
#include <vector>

namespace {

using Orvid::FileIoInterface::Attribute::DataType;
using Orvid::FileIoInterface::Attribute::Descriptor;
using Orvid::FileIoInterface::Attribute::Value;
using Orvid::Testing::assertText;
using Optional = std::optional<Value>;

Descriptor make(DataType type, std::string name, std::string description, Optional noData = {},
                Optional min = {}, Optional max = {}, std::optional<double> scale = {},
                std::optional<double> offset = {}) {
    Descriptor d;
    d.dataType = type;
    std::tie(d.name, d.noData, d.min, d.max, d.scale, d.offset, d.description) =
        std::tie(name, noData, min, max, scale, offset, description);
    return d;
}

Value u16(std::uint16_t value) {
    return Value{value};
}

Descriptor full() {
    return make(DataType::UInt16, "Amplitude", "Echo signal amplitude [dB]", u16(65535), u16(0), u16(10000),
                0.01, -0.0);
}

TEST(AttributeDescriptor, EqualityComparesNumbersNotBits) {
    Descriptor positiveZero = full();
    positiveZero.offset = 0.0;
    EXPECT_TRUE(full() == positiveZero);
    positiveZero.scale = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(positiveZero == Descriptor(positiveZero));
}

struct FieldChange {
    std::string field;
    std::function<void(Descriptor&)> apply;
};

void PrintTo(const FieldChange& change, std::ostream* out) {
    *out << change.field;
}

class AttributeDescriptorEquality : public ::testing::TestWithParam<FieldChange> {};

TEST_P(AttributeDescriptorEquality, SeesAChangeOfEveryField) {
    Descriptor changed = full();
    GetParam().apply(changed);
    EXPECT_FALSE(changed == full());
}

INSTANTIATE_TEST_SUITE_P(
    Fields, AttributeDescriptorEquality,
    ::testing::Values(
        FieldChange{"dataType", [](Descriptor& d) { d.dataType = DataType::Int16; }},
        FieldChange{"name", [](Descriptor& d) { d.name = "Amplitudes"; }},
        FieldChange{"noDataAbsent", [](Descriptor& d) { d.noData.reset(); }},
        FieldChange{"noDataType", [](Descriptor& d) { d.noData = Value{std::int32_t{65535}}; }},
        FieldChange{"min", [](Descriptor& d) { d.min = u16(1); }},
        FieldChange{"max", [](Descriptor& d) { d.max = Value{std::numeric_limits<float>::quiet_NaN()}; }},
        FieldChange{"scale", [](Descriptor& d) { d.scale = 0.02; }},
        FieldChange{"offsetAbsent", [](Descriptor& d) { d.offset.reset(); }},
        FieldChange{"description", [](Descriptor& d) { d.description = "Echo signal amplitude"; }}),
    [](const ::testing::TestParamInfo<FieldChange>& param) { return param.param.field; });

TEST(AttributeDescriptor, OptionsAndGuardedGetters) {
    Orvid::Testing::AssertRecorder asserts;
    Descriptor partial;
    EXPECT_EQ(partial.options().to_ulong(), 0U);
    partial.scale = 2.0;
    partial.offset = 3.0;
    EXPECT_EQ(partial.options().to_ulong(), 24U);
    EXPECT_EQ(full().options().to_ulong(), 31U);
    // Min, max and scale without no-data: bits 1, 2 and 3.
    EXPECT_EQ(make(DataType::Int16, "", "", {}, u16(0), u16(1), 1.0).options().to_ulong(), 14U);
    EXPECT_EQ(std::make_pair(partial.getScaleValue(), partial.getOffsetValue()), std::make_pair(2.0, 3.0));
    EXPECT_TRUE(asserts.reports().empty());

    Descriptor().getScaleValue();
    Descriptor().getOffsetValue();
    EXPECT_THAT(asserts.messages(), ::testing::ElementsAre(assertText("has< O >()"), assertText("option"),
                                                           assertText("has< O >()"), assertText("option")));
    for (const auto& report : asserts.reports()) {
        EXPECT_EQ(report.file, "FileIoInterface/include/FileIoInterface/AttributeDescriptor.h");
    }
}

TEST(AttributeDescriptor, MoveEmptiesOnlyTheSourceStrings) {
    const Descriptor movedFrom = make(DataType::UInt16, "", "", u16(65535), u16(0), u16(10000), 0.01, -0.0);
    Descriptor source = full();
    Descriptor constructed(std::move(source));
    EXPECT_TRUE(constructed == full() && source == movedFrom);
    Descriptor assigned;
    assigned = std::move(constructed);
    EXPECT_TRUE(assigned == full() && constructed == movedFrom);
}

TEST(LumivareAttributes, EveryCallReturnsTheSameFreshCatalogue) {
    using namespace Orvid::FileIoInterface::Lumivare;
    const std::vector<Descriptor> expected = {
        make(DataType::UInt16, "Lumi Vare photo index", "Source Lumi Vare photo"),
        make(DataType::Float, "Lumi Vare Range", "LIDAR to object distance"),
        make(DataType::UInt64, "Laser Incident CUV", "Compact unit vec, LIDAR to obj"),
        make(DataType::UInt16, "Amplitude", "Echo signal amplitude [dB]", u16(65535), u16(0), u16(10000),
             0.01),
        make(DataType::Int16, "Reflectance", "Echo signal reflectance [dB]", {}, Value{std::int16_t{-5000}},
             Value{std::int16_t{15000}}, 0.01),
        make(DataType::UInt16, "Deviation", "Pulse shape deviation", u16(65535), u16(0), u16(32767)),
    };
    std::vector<unsigned long> options;
    for (const Descriptor& descriptor : getRieglAttributes()) {
        options.push_back(descriptor.options().to_ulong());
    }
    EXPECT_EQ(options, (std::vector<unsigned long>{0, 0, 0, 15, 14, 7}));
    for (int call = 0; call < 2; ++call) {
        EXPECT_EQ(getRieglAttributes(), expected);
        EXPECT_EQ(getStandardAttributes(), std::vector<Descriptor>(expected.begin(), expected.begin() + 3));
    }
}

} // namespace
