#include "src/ReportLogger.h"

#include <ostream>
#include <sstream>

namespace Orvid::Compare {
namespace {

const std::string STATISTICS_HEADING = "Statistics of point-cloud comparison:";

} // namespace

ReportLogger::ReportLogger(std::ostream& out, std::ostream& err, bool quiet)
    : mOut(out)
    , mErr(err)
    , mQuiet(quiet) {}

void ReportLogger::info(const std::string& message) {
    parseStatistics(message);
    print(message);
}

void ReportLogger::warning(const std::string& message) {
    if (!mQuiet) {
        mErr << "warning: " << message << '\n';
    }
}

void ReportLogger::debug(const std::string&) {}

void ReportLogger::error(const std::string& message) {
    mErr << "error: " << message << '\n';
}

void ReportLogger::verbose(const std::string&) {}

void ReportLogger::print(const std::string& message) {
    if (mQuiet) {
        return;
    }
    mOut << message;
    if (message.empty() || message.back() != '\n') {
        mOut << '\n';
    }
}

void ReportLogger::parseStatistics(const std::string& message) {
    if (message.compare(0, STATISTICS_HEADING.size(), STATISTICS_HEADING) != 0) {
        return;
    }
    // One line per attribute: a tab, the name, ':', a tab and the count.
    std::array<std::uint64_t, 11> counts{};
    std::istringstream lines(message.substr(STATISTICS_HEADING.size()));
    std::string line;
    std::size_t found = 0;
    while (std::getline(lines, line)) {
        for (std::size_t i = 0; i < COMPARED_ATTRIBUTES.size(); ++i) {
            const std::string prefix = std::string("\t") + COMPARED_ATTRIBUTES[i] + ":\t";
            if (line.compare(0, prefix.size(), prefix) == 0) {
                counts[i] = std::stoull(line.substr(prefix.size()));
                ++found;
            }
        }
    }
    if (found == COMPARED_ATTRIBUTES.size()) {
        mCounts = counts;
    }
}

} // namespace Orvid::Compare
