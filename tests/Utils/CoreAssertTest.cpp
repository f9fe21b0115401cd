#include <Utils/CoreAssert.h>

#include "AssertRecorder.h"
#include "LogRecorder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

namespace {

using Orvid::Testing::AssertRecorder;
using Orvid::Testing::LogRecorder;
using ::testing::ElementsAre;

TEST(CoreAssert, ReportsOnlyFailedConditionsAsWrittenWithFileAndLine) {
    AssertRecorder asserts;
    const std::unique_ptr<int> missing;
    const int capacity = 0;
    const std::uint64_t firstLine = __LINE__ + 1;
    CORE_ASSERT( capacity > 0 );
    CORE_ASSERT(missing);
    CORE_ASSERT( capacity == 0 );
    ASSERT_EQ(asserts.reports().size(), 2U);
    EXPECT_EQ(asserts.reports()[0].message, "CORE_ASSERT failed: 'capacity > 0'");
    EXPECT_EQ(asserts.reports()[0].file, "tests/Utils/CoreAssertTest.cpp");
    EXPECT_EQ(asserts.reports()[0].line, firstLine);
    EXPECT_EQ(asserts.reports()[1].message, "CORE_ASSERT failed: 'missing'");
    EXPECT_EQ(asserts.reports()[1].line, firstLine + 1);
}

TEST(CoreAssert, NeverComeHereQuotesItsText) {
    AssertRecorder asserts;
    CORE_NEVER_COME_HERE("unreachable");
    EXPECT_THAT(asserts.messages(), ElementsAre("CORE_NEVER_COME_HERE triggered: '\"unreachable\"'"));
}

TEST(CoreAssert, SetAssertHandlerReturnsTheHandlerItReplaces) {
    int calls = 0;
    auto previous = Orvid::CoreAssert::setAssertHandler(
        [&calls](const std::string&, const char*, std::uint64_t) { ++calls; });
    CORE_ASSERT(false);
    auto mine = Orvid::CoreAssert::setAssertHandler(previous);
    ASSERT_TRUE(mine);
    mine("direct", "file", 1);
    EXPECT_EQ(calls, 2);
}

TEST(CoreAssert, DefaultHandlerLogsAtErrorLevelAndReturns) {
    const auto previous = Orvid::CoreAssert::setAssertHandler(nullptr);
    LogRecorder log;
    const int line = __LINE__ + 1;
    CORE_ASSERT(1 + 1 == 3);
    Orvid::CoreAssert::setAssertHandler(previous);
    ASSERT_EQ(log.lines().size(), 1U);
    EXPECT_EQ(log.lines()[0].level, "error");
    EXPECT_EQ(log.lines()[0].message, "tests/Utils/CoreAssertTest.cpp:" + std::to_string(line) +
                                          ": CORE_ASSERT failed: '1 + 1 == 3'");
}

} // namespace
