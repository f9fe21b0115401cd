#include <FileIoInterface/AttributeDescriptor.h>

#include "AssertRecorder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <utility>
#include <vector>

namespace {

using Orvid::FileIoInterface::Attribute::DataType;
using Orvid::FileIoInterface::Attribute::Descriptor;
using Orvid::FileIoInterface::Attribute::Value;
using Orvid::Testing::assertText;
using ::testing::ElementsAre;

Descriptor full() {
    Descriptor d;
    d.dataType = DataType::UInt16;
    d.name = "Amplitude";
    d.noData = Value{std::uint16_t{65535}};
    d.min = Value{std::uint16_t{0}};
    d.max = Value{std::uint16_t{10000}};
    d.scale = 0.01;
    d.offset = -0.0;
    d.description = "Echo signal amplitude [dB]";
    return d;
}

TEST(AttributeDescriptor, EqualityComparesEveryFieldNumerically) {
    EXPECT_TRUE(Descriptor() == Descriptor());
    Descriptor positiveZero = full();
    positiveZero.offset = 0.0;
    EXPECT_TRUE(full() == positiveZero);
    const std::vector<std::function<void(Descriptor&)>> changes = {
        [](Descriptor& d) { d.dataType = DataType::Int16; },
        [](Descriptor& d) { d.name = "Amplitudes"; },
        [](Descriptor& d) { d.noData.reset(); },
        [](Descriptor& d) { d.noData = Value{std::int32_t{65535}}; },
        [](Descriptor& d) { d.min = Value{std::uint16_t{1}}; },
        [](Descriptor& d) { d.max = Value{std::numeric_limits<float>::quiet_NaN()}; },
        [](Descriptor& d) { d.scale = std::numeric_limits<double>::quiet_NaN(); },
        [](Descriptor& d) { d.offset.reset(); },
        [](Descriptor& d) { d.description = "Echo signal amplitude"; },
    };
    for (std::size_t i = 0; i < changes.size(); ++i) {
        Descriptor changed = full();
        changes[i](changed);
        EXPECT_FALSE(changed == full()) << "change " << i;
        EXPECT_FALSE(full() == changed) << "change " << i;
    }
    Descriptor nan = full();
    nan.scale = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(nan == Descriptor(nan));
}

TEST(AttributeDescriptor, OptionsAndGuardedGetters) {
    Orvid::Testing::AssertRecorder asserts;
    EXPECT_EQ(full().options().to_ulong(), 31U);
    EXPECT_EQ(full().getScaleValue(), 0.01);
    EXPECT_EQ(full().get<Descriptor::Max>(), Value{std::uint16_t{10000}});
    Descriptor partial;
    EXPECT_EQ(partial.options().to_ulong(), 0U);
    partial.scale = 2.0;
    partial.offset = 3.0;
    EXPECT_EQ(partial.options().to_ulong(), 24U);
    EXPECT_EQ(partial.getOffsetValue(), 3.0);
    EXPECT_TRUE(asserts.reports().empty());

    Descriptor().getScaleValue();
    Descriptor().getOffsetValue();
    EXPECT_THAT(asserts.messages(), ElementsAre(assertText("has< O >()"), assertText("option"),
                                                assertText("has< O >()"), assertText("option")));
    for (const auto& report : asserts.reports()) {
        EXPECT_EQ(report.file, "FileIoInterface/include/FileIoInterface/AttributeDescriptor.h");
    }
}

TEST(AttributeDescriptor, MoveEmptiesOnlyTheSourceStrings) {
    Descriptor movedFrom = full();
    movedFrom.name.clear();
    movedFrom.description.clear();

    Descriptor source = full();
    Descriptor constructed(std::move(source));
    EXPECT_TRUE(constructed == full());
    EXPECT_TRUE(source == movedFrom);
    Descriptor assigned;
    assigned = std::move(constructed);
    EXPECT_TRUE(assigned == full());
    EXPECT_TRUE(constructed == movedFrom);
}

} // namespace
