#pragma once

#include <Utils/CoreAssert.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Orvid::Testing {

struct AssertReport {
    std::string message;
    std::string file;
    std::uint64_t line = 0;
};

/// Records every failed assertion while it lives, instead of the default handler's report.
class AssertRecorder {
public:
    AssertRecorder();
    ~AssertRecorder();
    AssertRecorder(const AssertRecorder&) = delete;
    AssertRecorder& operator=(const AssertRecorder&) = delete;

    const std::vector<AssertReport>& reports() const { return mReports; }
    /// The report texts only, in order.
    std::vector<std::string> messages() const;
    void clear() { mReports.clear(); }

private:
    std::vector<AssertReport> mReports;
    CoreAssert::AssertHandler mPrevious;
};

/// "CORE_ASSERT failed: '<condition>'", the text a failed assertion reports.
std::string assertText(const std::string& condition);

} // namespace Orvid::Testing
