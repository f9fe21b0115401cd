#pragma once

#include "Gather/ComparisonReport.h"

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

/// Writes the page to the file `path`. Throws std::runtime_error naming `shownAs` (the path the user
/// gave, of which `path` may be the staged copy) when it cannot be written completely.
void writeHtmlReport(const std::filesystem::path& path, const ComparisonReport& report,
                     const std::filesystem::path& shownAs);

} // namespace Orvid::Compare
