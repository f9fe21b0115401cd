#pragma once

#include "Gather/ComparisonReport.h"

#include <filesystem>
#include <iosfwd>

namespace Orvid::Compare {

/// Writes the report as JSON (schema "orvid-compare/1") to the file `path`. Throws std::runtime_error
/// naming `shownAs` (the path the user gave, of which `path` may be the staged copy) when it cannot be
/// written completely.
void writeJsonReport(const std::filesystem::path& path, const ComparisonReport& report,
                     const std::filesystem::path& shownAs);

/// Writes the report as JSON to `out` (standard output, say). Throws std::runtime_error when it cannot
/// be written completely.
void writeJsonReport(std::ostream& out, const ComparisonReport& report);

} // namespace Orvid::Compare
