#include <Utils/EnumClass.h>

#include "AssertRecorder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

namespace {

enum class Eleven : std::uint32_t { first = 0, last = 10 };
enum class Single : std::uint32_t { only = 0 };

} // namespace

template <>
struct Orvid::Utils::Enum::EnumTraits<Eleven> {
    static constexpr Eleven last = Eleven::last;
};
template <>
struct Orvid::Utils::Enum::EnumTraits<Single> {
    static constexpr Single last = Single::only;
};

namespace {

using Orvid::Testing::AssertRecorder;
using Orvid::Testing::assertText;
using Orvid::Utils::Enum::Flags;
using Orvid::Utils::Enum::range;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(Flags, EnumeratorKIsBitK) {
    Flags<Eleven> flags;
    EXPECT_EQ(flags.mask(), 0U);
    EXPECT_TRUE(flags.empty());
    flags.set(Eleven::last);
    EXPECT_EQ(flags.mask(), 1U << 10);
    EXPECT_TRUE(flags.has(Eleven::last));
    EXPECT_FALSE(flags.has(Eleven::first));
    flags.set(Eleven::first).reset(Eleven::last);
    EXPECT_EQ(flags.mask(), 1U);
    EXPECT_EQ((Flags<Eleven>{Eleven::first, Eleven::last}).mask(), 0x401U);
    EXPECT_EQ(Flags<Eleven>::fromMask(0x401U), (Flags<Eleven>{Eleven::last, Eleven::first}));
    EXPECT_NE(Flags<Eleven>::fromMask(1U), Flags<Eleven>{});
}

TEST(EnumIteration, VisitsEveryEnumeratorOnceInOrderThenReachesTheEnd) {
    AssertRecorder asserts;
    std::vector<std::uint32_t> visited;
    for (const Eleven value : range<Eleven>()) {
        visited.push_back(static_cast<std::uint32_t>(value));
    }
    EXPECT_THAT(visited, ElementsAre(0U, 1U, 2U, 3U, 4U, 5U, 6U, 7U, 8U, 9U, 10U));

    auto it = range<Eleven>().begin();
    for (int step = 0; step < 11; ++step) {
        EXPECT_NE(it, range<Eleven>().end());
        ++it;
    }
    EXPECT_EQ(it, range<Eleven>().end());
    EXPECT_THAT(asserts.reports(), IsEmpty());

    *it;
    ++it;
    EXPECT_THAT(asserts.messages(), ElementsAre(assertText("!isEnd"), assertText("!isEnd")));
    EXPECT_EQ(it, range<Eleven>().end());
}

TEST(EnumIteration, ASingleEnumeratorIsVisitedOnce) {
    int visits = 0;
    for (const Single value : range<Single>()) {
        EXPECT_EQ(value, Single::only);
        ++visits;
    }
    EXPECT_EQ(visits, 1);
}

} // namespace
