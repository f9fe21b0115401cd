#include <Core/Logging/Logger.h>

#include <Utils/CoreAssert.h>

#include <iostream>

namespace Orvid::Core::Logging {

std::weak_ptr<Logger> sLogger;
std::function<void(const std::string&)> sLoggingFunction;

namespace {

void writeToStandardError(const char* level, const std::string& message) {
    std::cerr << '[' << level << "] " << message << '\n';
}

template <typename Member>
void dispatch(Member member, const std::string& message) {
    if (const std::shared_ptr<Logger> logger = sLogger.lock()) {
        ((*logger).*member)(message);
    }
    if (sLoggingFunction) {
        sLoggingFunction(message);
    }
}

/// Assertion reports go to the log at error level, or to standard error while nobody listens.
void reportAssertion(const std::string& report) {
    if (sLogger.expired() && !sLoggingFunction) {
        std::cerr << report << '\n';
        return;
    }
    logError(report);
}

// Loading the logging service routes the utilities layer's assertion reports through it: that layer
// sits below this one and cannot call it.
const bool ASSERTION_REPORTS_ROUTED = (CoreAssert::setDefaultReportRoute(reportAssertion), true);

} // namespace

Logger::~Logger() = default;

void Logger::info(const std::string& message) {
    writeToStandardError("info", message);
}
void Logger::warning(const std::string& message) {
    writeToStandardError("warning", message);
}
void Logger::debug(const std::string& message) {
    writeToStandardError("debug", message);
}
void Logger::error(const std::string& message) {
    writeToStandardError("error", message);
}
void Logger::verbose(const std::string& message) {
    writeToStandardError("verbose", message);
}

void logInfo(const std::string& message) {
    dispatch(&Logger::info, message);
}
void logWarning(const std::string& message) {
    dispatch(&Logger::warning, message);
}
void logDebug(const std::string& message) {
    dispatch(&Logger::debug, message);
}
void logError(const std::string& message) {
    dispatch(&Logger::error, message);
}
void logVerbose(const std::string& message) {
    dispatch(&Logger::verbose, message);
}

} // namespace Orvid::Core::Logging
