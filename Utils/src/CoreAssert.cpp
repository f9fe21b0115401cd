#include <Utils/CoreAssert.h>

#include <iostream>
#include <utility>

namespace Orvid::CoreAssert {
namespace {

void writeToStandardError(const std::string& report) {
    std::cerr << report << '\n';
}

ReportRoute& currentRoute() {
    static ReportRoute route = writeToStandardError;
    return route;
}

void reportThroughRoute(const std::string& message, const char* file, std::uint64_t line) {
    currentRoute()(std::string(file) + ':' + std::to_string(line) + ": " + message);
}

AssertHandler& currentHandler() {
    static AssertHandler handler = reportThroughRoute;
    return handler;
}

} // namespace

AssertHandler setAssertHandler(AssertHandler handler) {
    if (!handler) {
        handler = reportThroughRoute;
    }
    return std::exchange(currentHandler(), std::move(handler));
}

ReportRoute setDefaultReportRoute(ReportRoute route) {
    if (!route) {
        route = writeToStandardError;
    }
    return std::exchange(currentRoute(), std::move(route));
}

void assertFailed(const std::string& message, const char* file, std::uint64_t line) {
    currentHandler()(message, file, line);
}

} // namespace Orvid::CoreAssert
