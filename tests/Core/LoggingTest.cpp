#include <Core/Logging/LoggingCallbackPrivate.h>

#include "AssertRecorder.h"
#include "LogRecorder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using Orvid::Core::Logging::LoggingType;
using Orvid::Core::Logging::logMessage;
using Orvid::Testing::AssertRecorder;
using Orvid::Testing::LogLine;
using Orvid::Testing::LogRecorder;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(LogMessage, RoutesEachLevelToItsLogFunction) {
    LogRecorder log;
    logMessage(LoggingType::Info, "i");
    logMessage(LoggingType::Warning, "w");
    logMessage(LoggingType::Debug, "d");
    logMessage(LoggingType::Error, "e");
    logMessage(LoggingType::Verbose, "v");
    EXPECT_THAT(log.lines(), ElementsAre(LogLine{"info", "i"}, LogLine{"warning", "w"}, LogLine{"debug", "d"},
                                         LogLine{"error", "e"}, LogLine{"verbose", "v"}));
}

TEST(LogMessage, ReachesTheLoggingFunctionBesideOrWithoutALiveLogger) {
    {
        LogRecorder both(LogRecorder::Listen::Both);
        logMessage(LoggingType::Warning, "both");
        EXPECT_THAT(both.messages(), ElementsAre("both"));
        EXPECT_THAT(both.functionLines(), ElementsAre("both"));
    }
    LogRecorder log(LogRecorder::Listen::Function);
    {
        auto expired = std::make_shared<Orvid::Core::Logging::Logger>();
        Orvid::Core::Logging::sLogger = expired;
    }
    logMessage(LoggingType::Info, "line with\ttab");
    Orvid::Core::Logging::logInfo("direct");
    EXPECT_THAT(log.functionLines(), ElementsAre("line with\ttab", "direct"));
    EXPECT_THAT(log.lines(), IsEmpty());
}

TEST(LogMessage, ReportsAnUnknownLevelOnlyWhenSomebodyListens) {
    AssertRecorder asserts;
    {
        LogRecorder nobody(LogRecorder::Listen::Function);
        Orvid::Core::Logging::sLoggingFunction = nullptr;
        logMessage(static_cast<LoggingType>(5), "unheard");
        EXPECT_THAT(asserts.reports(), IsEmpty());
    }
    LogRecorder log;
    logMessage(static_cast<LoggingType>(5), "lost");
    EXPECT_THAT(log.lines(), IsEmpty());
    EXPECT_THAT(
        asserts.messages(),
        ElementsAre("CORE_NEVER_COME_HERE triggered: '\"Added a new LoggingType? This switch case needs "
                    "to be updated\"'"));
    EXPECT_EQ(asserts.reports()[0].file, "Core/include/Core/Logging/LoggingCallbackPrivate.h");
}

} // namespace
