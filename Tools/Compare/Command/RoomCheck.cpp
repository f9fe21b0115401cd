#include "Command/RoomCheck.h"

#include <algorithm>
#include <limits>
#include <ostream>
#include <stdexcept>

namespace Orvid::Compare {

std::string megabytes(std::uint64_t bytes) {
    const std::uint64_t megabyte = std::uint64_t{1} << 20;
    return std::to_string(bytes / megabyte + (bytes % megabyte != 0 ? 1 : 0)) + " MB";
}

std::uint64_t decodedBytesOf(const std::array<InputLegs, 2>& legs) {
    std::uint64_t bytes = 0;
    for (const InputLegs& input : legs) {
        for (const FileIoInterface::Las::LasHeader& header : input.headers) {
            // Saturates, as each leg's bytes do, rather than wrap on absurd point counts.
            bytes += std::min(header.decodedRecordBytes(), std::numeric_limits<std::uint64_t>::max() - bytes);
        }
    }
    return bytes;
}

void checkRoom(const std::array<InputLegs, 2>& legs, const OutputRoom& outputRoom, bool strict, bool quiet,
               std::ostream& err, std::vector<std::string>& warnings) {
    const std::vector<std::string> shortfalls = outputRoom(decodedBytesOf(legs));
    if (strict && !shortfalls.empty()) {
        throw std::runtime_error(shortfalls.front() + " (an error with --strict)");
    }
    for (const std::string& shortfall : shortfalls) {
        if (!quiet) {
            err << "orvid-compare: warning: " << shortfall << '\n';
        }
        warnings.push_back(shortfall);
    }
}

} // namespace Orvid::Compare
