#include <Utils/CoreAssert.h>

#include <Core/Logging/Logger.h>

#include <iostream>
#include <utility>

namespace Orvid::CoreAssert {
namespace {

void reportThroughLog(const std::string& message, const char* file, std::uint64_t line) {
    const std::string report = std::string(file) + ':' + std::to_string(line) + ": " + message;
    if (Core::Logging::sLogger.expired() && !Core::Logging::sLoggingFunction) {
        std::cerr << report << '\n';
        return;
    }
    Core::Logging::logError(report);
}

AssertHandler& currentHandler() {
    static AssertHandler handler = reportThroughLog;
    return handler;
}

} // namespace

AssertHandler setAssertHandler(AssertHandler handler) {
    if (!handler) {
        handler = reportThroughLog;
    }
    return std::exchange(currentHandler(), std::move(handler));
}

void assertFailed(const std::string& message, const char* file, std::uint64_t line) {
    currentHandler()(message, file, line);
}

} // namespace Orvid::CoreAssert
