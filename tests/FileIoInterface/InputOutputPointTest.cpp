#include <FileIoInterface/InputOutputPoint.h>

#include "MemoryPoint.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

using Orvid::FileIoInterface::InputOutputPoint;
using Orvid::FileIoInterface::Attribute::Value;
using Orvid::Testing::MemoryPoint;

TEST(InputOutputPoint, EpsilonIsExactlyOneHundredMachineEpsilons) {
    const double expected = 100.0 * std::numeric_limits<double>::epsilon();
    const double actual = InputOutputPoint::epsilon();
    EXPECT_EQ(std::memcmp(&expected, &actual, sizeof(double)), 0);
    EXPECT_EQ(actual, 2.220446049250313e-14);
}

TEST(InputOutputPoint, CopiesItsValuesAndSurvivesSelfAssignment) {
    const MemoryPoint empty;
    EXPECT_TRUE(empty.values.empty());

    const MemoryPoint source({Value{std::uint8_t{1}}, Value{-2.5}, Value{std::int64_t{-3}}});
    MemoryPoint copy(source);
    ASSERT_EQ(copy.values.size(), 3U);
    EXPECT_EQ(copy.values, source.values);

    MemoryPoint& alias = copy;
    copy = alias;
    EXPECT_EQ(copy.values, source.values);

    MemoryPoint assigned;
    assigned = source;
    EXPECT_EQ(assigned.values, source.values);
}

TEST(InputOutputPoint, MovingAPointCopiesItsValues) {
    MemoryPoint source({Value{1.0f}});
    const MemoryPoint moved(std::move(source));
    EXPECT_EQ(moved.values.size(), 1U);
    EXPECT_EQ(source.values.size(), 1U); // NOLINT(bugprone-use-after-move): the base has no move
}

TEST(AttributeValue, EqualityNeedsTheSameAlternativeAndPayload) {
    const Value nan{std::numeric_limits<double>::quiet_NaN()};
    const Value nanCopy = nan;
    EXPECT_FALSE(nan == nanCopy);
    EXPECT_FALSE(Value{1.0f} == Value{1.0});
    EXPECT_FALSE(Value{std::uint16_t{5}} == Value{std::int16_t{5}});
    EXPECT_TRUE(Value{0.0} == Value{-0.0});
}

TEST(InputOutputPoint, CloneKeepsTheDynamicTypeAndEveryField) {
    MemoryPoint source({Value{std::uint32_t{7}}});
    source.time = 12.5;
    source.color = {1, 2, 3};
    const std::unique_ptr<InputOutputPoint> clone = source.clone();
    auto* typed = dynamic_cast<MemoryPoint*>(clone.get());
    ASSERT_NE(typed, nullptr);
    EXPECT_EQ(typed->time, 12.5);
    EXPECT_EQ(typed->color, Orvid::FileIoInterface::ColorRGB(1, 2, 3));
    EXPECT_EQ(typed->values, source.values);
}

} // namespace
