#include "LogRecorder.h"

namespace Orvid::Testing {

class LogRecorder::RecordingLogger final : public Core::Logging::Logger {
public:
    void info(const std::string& message) override { lines.push_back({"info", message}); }
    void warning(const std::string& message) override { lines.push_back({"warning", message}); }
    void debug(const std::string& message) override { lines.push_back({"debug", message}); }
    void error(const std::string& message) override { lines.push_back({"error", message}); }
    void verbose(const std::string& message) override { lines.push_back({"verbose", message}); }

    std::vector<LogLine> lines;
};

LogRecorder::LogRecorder(Listen listen)
    : mLogger(std::make_shared<RecordingLogger>())
    , mPreviousLogger(Core::Logging::sLogger)
    , mPreviousFunction(Core::Logging::sLoggingFunction) {
    Core::Logging::sLogger.reset();
    Core::Logging::sLoggingFunction = nullptr;
    if (listen != Listen::Function) {
        Core::Logging::sLogger = mLogger;
    }
    if (listen != Listen::Logger) {
        Core::Logging::sLoggingFunction = [this](const std::string& message) {
            mFunctionLines.push_back(message);
        };
    }
}

LogRecorder::~LogRecorder() {
    Core::Logging::sLogger = mPreviousLogger;
    Core::Logging::sLoggingFunction = mPreviousFunction;
}

const std::vector<LogLine>& LogRecorder::lines() const {
    return mLogger->lines;
}

std::vector<std::string> LogRecorder::messages() const {
    std::vector<std::string> texts;
    for (const LogLine& line : mLogger->lines) {
        texts.push_back(line.message);
    }
    return texts;
}

} // namespace Orvid::Testing
