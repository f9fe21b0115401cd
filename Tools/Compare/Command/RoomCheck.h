#pragma once

#include "Command/ClassFiles.h"
#include "Gather/ComparisonSettings.h"

#include <array>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace Orvid::Compare {

/// The bytes of the point records of `legs` decoded (LAZ inputs as their records unpacked, not as
/// stored).
std::uint64_t decodedBytesOf(const std::array<InputLegs, 2>& legs);

/// How a run asks its outputs for room: the warnings for outputs whose class files take at most the
/// bytes given.
using OutputRoom = std::function<std::vector<std::string>(std::uint64_t)>;

/// Checks, before any comparison starts, that there is room for what the run writes: its outputs, as
/// `outputRoom` says for every point of `legs` decoded, and the `temporaryBytes` of LAZ records that it
/// decodes into the temporary folder. Each shortfall goes to `warnings` and, unless `quiet`, at once to
/// `err`; with `strict` the first throws std::runtime_error instead. Throws std::runtime_error, naming
/// the folder, the room needed and the variable that moves it, when LAZ inputs need a temporary folder
/// that does not exist.
void checkRoom(const std::array<InputLegs, 2>& legs, const OutputRoom& outputRoom,
               std::uint64_t temporaryBytes, bool strict, bool quiet, std::ostream& err,
               std::vector<std::string>& warnings);

/// The bytes of LAZ records that a single run of `legs` under `settings` decodes into the temporary
/// folder, beyond what its memory budget holds.
std::uint64_t temporaryBytesOf(const std::array<InputLegs, 2>& legs, const ComparisonSettings& settings);

/// `bytes` in whole MB, rounded up ("12 MB").
std::string megabytes(std::uint64_t bytes);

} // namespace Orvid::Compare
