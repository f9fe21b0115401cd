#pragma once

#include <Utils/UtilsExport.h>

#include <cstdint>
#include <functional>
#include <string>

namespace Orvid::CoreAssert {

/// Receives every failed assertion: the report text, the source file and the line.
using AssertHandler = std::function<void(const std::string& message, const char* file, std::uint64_t line)>;

/// Installs `handler` and returns the one it replaces. An empty handler restores the default, which
/// logs "<file>:<line>: <message>" at error level (or writes it to standard error when nobody
/// listens) and returns, so the caller carries on.
ORVID_UTILS_EXPORT AssertHandler setAssertHandler(AssertHandler handler);

/// Where the default handler sends its "<file>:<line>: <message>" line.
using ReportRoute = std::function<void(const std::string& report)>;

/// Installs the default handler's destination and returns the one it replaces; an empty route
/// restores standard error. The logging layer installs its own when it is loaded, so that this layer
/// needs to know nothing of it.
ORVID_UTILS_EXPORT ReportRoute setDefaultReportRoute(ReportRoute route);

/// Reports a failed assertion to the current handler. Returns when the handler returns.
ORVID_UTILS_EXPORT void assertFailed(const std::string& message, const char* file, std::uint64_t line);

} // namespace Orvid::CoreAssert

/// Reports "CORE_ASSERT failed: '<condition as written>'" when the condition is false.
#define CORE_ASSERT(condition)                                                                               \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            ::Orvid::CoreAssert::assertFailed("CORE_ASSERT failed: '" #condition "'", __FILE__, __LINE__);   \
        }                                                                                                    \
    } while (false)

/// Reports "CORE_NEVER_COME_HERE triggered: '<text as written>'" for a branch that must be unreachable;
/// a string literal keeps its quotes in the report.
#define CORE_NEVER_COME_HERE(text)                                                                           \
    ::Orvid::CoreAssert::assertFailed("CORE_NEVER_COME_HERE triggered: '" #text "'", __FILE__, __LINE__)
