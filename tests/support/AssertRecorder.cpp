#include "AssertRecorder.h"

namespace Orvid::Testing {

AssertRecorder::AssertRecorder() {
    mPrevious = CoreAssert::setAssertHandler(
        [this](const std::string& message, const char* file, std::uint64_t line) {
            mReports.push_back({message, file, line});
        });
}

AssertRecorder::~AssertRecorder() {
    CoreAssert::setAssertHandler(mPrevious);
}

std::vector<std::string> AssertRecorder::messages() const {
    std::vector<std::string> texts;
    for (const AssertReport& report : mReports) {
        texts.push_back(report.message);
    }
    return texts;
}

std::string assertText(const std::string& condition) {
    return "CORE_ASSERT failed: '" + condition + "'";
}

} // namespace Orvid::Testing
