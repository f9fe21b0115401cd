#include <FileIoInterface/InputOutputPoint.h>

#include "MemoryPoint.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using Orvid::FileIoInterface::InputOutputPoint;
using Orvid::FileIoInterface::Attribute::Value;
using Orvid::Testing::MemoryPoint;

TEST(InputOutputPoint, EpsilonIsExactlyOneHundredMachineEpsilons) {
    EXPECT_EQ(InputOutputPoint::epsilon(), 100.0 * std::numeric_limits<double>::epsilon());
}

TEST(InputOutputPoint, CopiesAndMovesKeepTheValues) {
    EXPECT_TRUE(MemoryPoint().values.empty());
    MemoryPoint source({Value{std::uint8_t{1}}, Value{-2.5}, Value{std::int64_t{-3}}});
    const std::vector<Value> values = source.values;
    ASSERT_EQ(values.size(), 3U);
    MemoryPoint assigned;
    assigned = source;
    EXPECT_EQ(assigned.values, values);
    const MemoryPoint moved(std::move(source));
    EXPECT_EQ(moved.values, values);
    EXPECT_EQ(source.values, values); // NOLINT(bugprone-use-after-move): the base has no move
}

TEST(AttributeValue, EqualityNeedsTheSameAlternativeAndPayload) {
    const Value nan{std::numeric_limits<double>::quiet_NaN()};
    EXPECT_FALSE(nan == Value(nan) || Value{1.0f} == Value{1.0} ||
                 Value{std::uint16_t{5}} == Value{std::int16_t{5}});
    EXPECT_TRUE(Value{0.0} == Value{-0.0});
}

} // namespace
