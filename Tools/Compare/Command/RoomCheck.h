#pragma once

#include "Command/ClassFiles.h"

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

/// Checks, before any comparison starts, that there is room for the outputs of the run, as
/// `outputRoom` says for every point of `legs` decoded. Each shortfall goes to `warnings` and, unless
/// `quiet`, at once to `err`; with `strict` the first throws std::runtime_error instead. (Whether LAZ
/// inputs need the temporary folder is known only once their order is: its failure names the folder
/// and the room needed then.)
void checkRoom(const std::array<InputLegs, 2>& legs, const OutputRoom& outputRoom, bool strict, bool quiet,
               std::ostream& err, std::vector<std::string>& warnings);

/// `bytes` in whole MB, rounded up ("12 MB").
std::string megabytes(std::uint64_t bytes);

} // namespace Orvid::Compare
