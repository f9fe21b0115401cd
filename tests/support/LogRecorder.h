#pragma once

#include <Core/Logging/Logger.h>

#include <memory>
#include <string>
#include <vector>

namespace Orvid::Testing {

struct LogLine {
    std::string level;
    std::string message;

    friend bool operator==(const LogLine& a, const LogLine& b) {
        return a.level == b.level && a.message == b.message;
    }
};

/// Installs a recording logger (and, on request, a recording logging function) while it lives, and
/// restores the previous listeners afterwards.
class LogRecorder {
public:
    enum class Listen { Logger, Function, Both };

    explicit LogRecorder(Listen listen = Listen::Logger);
    ~LogRecorder();
    LogRecorder(const LogRecorder&) = delete;
    LogRecorder& operator=(const LogRecorder&) = delete;

    /// Lines received by the logger, with their level.
    const std::vector<LogLine>& lines() const;
    /// Lines received by the logging function.
    const std::vector<std::string>& functionLines() const { return mFunctionLines; }
    /// The messages received by the logger, in order.
    std::vector<std::string> messages() const;

private:
    class RecordingLogger;

    std::shared_ptr<RecordingLogger> mLogger;
    std::vector<std::string> mFunctionLines;
    std::weak_ptr<Core::Logging::Logger> mPreviousLogger;
    std::function<void(const std::string&)> mPreviousFunction;
};

} // namespace Orvid::Testing
