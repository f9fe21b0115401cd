#pragma once

#include "ComparisonReport.h"

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iosfwd>

namespace Orvid::Compare {

/// Flight lines the report's table lists at most, those with the most differences first.
constexpr std::size_t MAX_FLIGHT_LINES_LISTED = 1000;
/// Files per input the report lists at most.
constexpr std::size_t MAX_FILES_LISTED = 50;

/// Writes the report as one self-contained HTML page: inline CSS and SVG, nothing fetched, no script.
/// It holds the inputs, parameters and verdict, the five classes, a top view of where they lie (when
/// `report.map` is present), the displacement histogram, the per-attribute bar chart and the
/// per-flight-line table. Its size is bounded whatever the size of the clouds: under 3 MB.
void writeHtmlPage(std::ostream& out, const ComparisonReport& report);

/// An HTML report file in the making. Its temporary file is created at once, so that a report that
/// cannot be written fails before a long comparison rather than after it, and takes the final name only
/// when complete; a report never written leaves nothing behind.
class HtmlReportFile {
public:
    /// Throws std::runtime_error naming the file when it cannot be created.
    explicit HtmlReportFile(std::filesystem::path path);
    ~HtmlReportFile();
    HtmlReportFile(const HtmlReportFile&) = delete;
    HtmlReportFile& operator=(const HtmlReportFile&) = delete;

    /// Writes the page and gives the file its final name, replacing an earlier one; call once. Throws
    /// std::runtime_error naming the file when it cannot be written.
    void write(const ComparisonReport& report);

private:
    std::filesystem::path mPath;
    std::filesystem::path mTemporary;
    std::ofstream mFile;
    bool mWritten = false;
};

/// Writes the page to `path` at once, as HtmlReportFile does.
void writeHtmlReport(const std::filesystem::path& path, const ComparisonReport& report);

} // namespace Orvid::Compare
