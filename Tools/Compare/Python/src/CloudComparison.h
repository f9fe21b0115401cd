#pragma once

#include "ClassPointSink.h"

#include "Gather/ComparisonReport.h"

#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace Orvid::Compare::Python {

/// A comparison made for a library caller: what the command's reports say, and the points of each
/// difference class.
struct CloudComparison {
    ComparisonReport report;
    /// Per difference class, in report order.
    std::array<std::vector<ClassPoint>, ALL_DIFFERENCE_CLASSES.size()> points;
};

/// Compares `reference` with `test` (LAS or LAZ files, or folders of them) as the command does with
/// the comparison flags `flags` (such as "--epsilon=0.01"), without its outputs or progress.
/// Throws std::invalid_argument with the command's message for a flag it refuses,
/// Core::IOException naming the file that cannot be read, and Interrupted on SIGINT or SIGTERM.
CloudComparison compareClouds(const std::filesystem::path& reference, const std::filesystem::path& test,
                              const std::vector<std::string>& flags);

/// The JSON report of `report`, as the command writes it.
std::string jsonReportOf(const ComparisonReport& report);

/// The attribute statistics and the summary that the command prints at its end.
std::string textSummaryOf(const ComparisonReport& report);

} // namespace Orvid::Compare::Python
