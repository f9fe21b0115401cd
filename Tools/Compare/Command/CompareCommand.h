#pragma once

#include "Command/CommandLine.h"
#include "Gather/ComparisonReport.h"

#include <iosfwd>

namespace Orvid::Compare {

/// Compares the two inputs as `options` say: prints the library's log lines and the summary to `out`
/// (unless quiet), progress to `err`, and writes the --out folder and the --json report. Throws
/// Core::IOException (or std::runtime_error) naming the file and the problem when an input cannot be
/// read or an output cannot be written; nothing is then left under a final output name.
ComparisonReport runComparison(const CompareOptions& options, std::ostream& out, std::ostream& err);

/// The whole command: the comparison or the demo, errors reported on `err` as one line each.
/// Returns the exit status: 0 same, 1 different, 2 error.
int runCommand(const CompareOptions& options, std::ostream& out, std::ostream& err);

} // namespace Orvid::Compare
