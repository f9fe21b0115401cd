#pragma once

#include "Gather/ComparisonReport.h"

#include <cstdint>
#include <iosfwd>
#include <string>

namespace Orvid::Compare {

/// "1.03 %" of `of`, or "-" when there is nothing to take a share of.
std::string share(std::uint64_t count, std::uint64_t of);

/// The inputs and the parameters, before the comparison.
void printRunHeader(std::ostream& out, const ComparisonReport& report);

/// The colour tolerance and the count of paired points that differ in each point attribute, one line
/// each ("\t<attribute>:\t<count>"), when point attributes were compared.
void printAttributeStatistics(std::ostream& out, const ComparisonReport& report);

/// The most frequent class transitions of mutated pairs, on one line; nothing when there are none.
void printTopTransitions(std::ostream& out, const ComparisonReport& report);

/// The short table of the five classes, with the warnings and the verdict.
void printSummary(std::ostream& out, const ComparisonReport& report);

} // namespace Orvid::Compare
