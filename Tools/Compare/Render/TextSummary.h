#pragma once

#include "Gather/ComparisonReport.h"

#include <cstdint>
#include <iosfwd>
#include <string>

namespace Orvid::Compare {

/// "1.03 %" of `of`, or "-" when there is nothing to take a share of.
std::string share(std::uint64_t count, std::uint64_t of);

/// The short table of the five classes, with the warnings and the verdict.
void printSummary(std::ostream& out, const ComparisonReport& report);

} // namespace Orvid::Compare
