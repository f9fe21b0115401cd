#pragma once

#include <CompareEngine/ComparisonOutcome.h>

#include <cstdint>
#include <optional>
#include <string>

namespace Orvid::Compare {

/// The warning of a comparison that ran in more GPS-time windows than a larger `memory` budget (in
/// bytes) would have given, each window reading the indexed inputs again: how many it ran in, and the
/// --memory, rounded up to a MiB, that gives the fewest. None when it ran in the fewest.
std::optional<std::string> extraWindowsWarning(std::uint64_t memory,
                                               const Engine::ComparisonOutcome& outcome);

} // namespace Orvid::Compare
