#pragma once

#include "Command/CommandLine.h"
#include "Gather/ComparisonReport.h"

#include <functional>
#include <iosfwd>

namespace Orvid::Compare {

/// Compares the two inputs as `options` say with the streaming engine: prints the run's parameters, the
/// attribute statistics and the summary to `out` (unless quiet), progress to `err`, and writes the
/// --out folder and the --json and --html reports, all or none. Throws Core::IOException (or
/// std::runtime_error) naming the file and the problem when an input cannot be read or an output cannot
/// be written, and Interrupted on SIGINT or SIGTERM; nothing is then left under a final output name.
ComparisonReport runComparison(const CompareOptions& options, std::ostream& out, std::ostream& err);

/// Runs `command` with SIGINT and SIGTERM turned into a clean stop, and returns its exit status, or
/// reports what it threw on `err` in one line and returns 2 (130 or 143 when interrupted).
int runGuarded(std::ostream& err, const std::function<int()>& command);

} // namespace Orvid::Compare
