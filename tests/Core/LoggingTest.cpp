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

TEST(LogMessage, ReachesALoggingFunctionWithoutALogger) {
    LogRecorder log(LogRecorder::Listen::Function);
    logMessage(LoggingType::Info, "line with\ttab");
    EXPECT_THAT(log.functionLines(), ElementsAre("line with\ttab"));
    EXPECT_THAT(log.lines(), IsEmpty());
}

TEST(LogMessage, ReachesBothListenersWhenBothAreSet) {
    LogRecorder log(LogRecorder::Listen::Both);
    logMessage(LoggingType::Warning, "both");
    EXPECT_THAT(log.messages(), ElementsAre("both"));
    EXPECT_THAT(log.functionLines(), ElementsAre("both"));
}

TEST(LogMessage, DoesNothingWhenNobodyListens) {
    LogRecorder log(LogRecorder::Listen::Function);
    Orvid::Core::Logging::sLoggingFunction = nullptr;
    AssertRecorder asserts;
    // Not even the check of the level runs: an unknown level is not reported.
    logMessage(static_cast<LoggingType>(5), "unheard");
    EXPECT_THAT(asserts.reports(), IsEmpty());
}

TEST(LogMessage, ReportsAnUnknownLevelAndLogsNothing) {
    LogRecorder log;
    AssertRecorder asserts;
    logMessage(static_cast<LoggingType>(5), "lost");
    EXPECT_THAT(log.lines(), IsEmpty());
    EXPECT_THAT(
        asserts.messages(),
        ElementsAre("CORE_NEVER_COME_HERE triggered: '\"Added a new LoggingType? This switch case needs "
                    "to be updated\"'"));
    EXPECT_EQ(asserts.reports()[0].file, "Core/include/Core/Logging/LoggingCallbackPrivate.h");
}

TEST(Logger, AnExpiredLoggerIsNotCalled) {
    LogRecorder outer(LogRecorder::Listen::Function);
    {
        auto logger = std::make_shared<Orvid::Core::Logging::Logger>();
        Orvid::Core::Logging::sLogger = logger;
    }
    Orvid::Core::Logging::logInfo("after");
    EXPECT_THAT(outer.functionLines(), ElementsAre("after"));
}

} // namespace
