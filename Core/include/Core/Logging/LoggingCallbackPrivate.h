#pragma once

#include <Core/Logging/Logger.h>
#include <Utils/CoreAssert.h>

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>

namespace Orvid::Core::Logging {

/// Level of a log line.
enum class LoggingType : std::uint32_t {
    Info = 0,
    Warning = 1,
    Debug = 2,
    Error = 3,
    Verbose = 4,
};

/// Forwards `message` to the log function of its level. Does no work at all when neither a logger
/// nor a logging function listens.
inline void logMessage(LoggingType type, const std::string& message) {
    const std::shared_ptr<Logger> logger = sLogger.lock();
    if (!logger && !sLoggingFunction) {
        return;
    }
    std::ostringstream stream;
    stream << message;
    const std::string text = stream.str();
    switch (type) {
    case LoggingType::Info:
        logInfo(text);
        break;
    case LoggingType::Warning:
        logWarning(text);
        break;
    case LoggingType::Debug:
        logDebug(text);
        break;
    case LoggingType::Error:
        logError(text);
        break;
    case LoggingType::Verbose:
        logVerbose(text);
        break;
    default:
        CORE_NEVER_COME_HERE("Added a new LoggingType? This switch case needs to be updated");
        break;
    }
}

} // namespace Orvid::Core::Logging
