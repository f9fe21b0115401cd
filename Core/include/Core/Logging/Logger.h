#pragma once

#include <Core/CoreExport.h>

#include <functional>
#include <memory>
#include <string>

namespace Orvid::Core::Logging {

/// Receiver of the suite's log lines, one member per level. The default members write the line to
/// standard error, prefixed with its level; applications derive to send lines elsewhere.
class ORVID_CORE_EXPORT Logger {
public:
    virtual ~Logger();

    virtual void info(const std::string& message);
    virtual void warning(const std::string& message);
    virtual void debug(const std::string& message);
    virtual void error(const std::string& message);
    virtual void verbose(const std::string& message);
};

/// The application's logger. The suite holds it weakly: the application owns it, and a logger that
/// has been destroyed simply stops receiving lines.
ORVID_CORE_EXPORT extern std::weak_ptr<Logger> sLogger;

/// A second listener that receives every line, whatever its level; empty when nobody listens.
ORVID_CORE_EXPORT extern std::function<void(const std::string&)> sLoggingFunction;

/// Each passes the message to the matching member of the logger `sLogger` locks to, if any, and then
/// to `sLoggingFunction`, if set.
ORVID_CORE_EXPORT void logInfo(const std::string& message);
ORVID_CORE_EXPORT void logWarning(const std::string& message);
ORVID_CORE_EXPORT void logDebug(const std::string& message);
ORVID_CORE_EXPORT void logError(const std::string& message);
ORVID_CORE_EXPORT void logVerbose(const std::string& message);

} // namespace Orvid::Core::Logging
