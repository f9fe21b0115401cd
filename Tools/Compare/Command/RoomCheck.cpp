#include "Command/RoomCheck.h"

#include <CompareEngine/EngineOptions.h>
#include <CompareEngine/LazDecoding.h>
#include <Utils/UsableCpus.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <ostream>
#include <stdexcept>
#include <system_error>

#include <sys/statvfs.h>

namespace Orvid::Compare {
namespace {

namespace fs = std::filesystem;

/// The folder the LAZ plug-in decodes into, as the standard library finds it; when that fails, the
/// folder TMPDIR names, which is what failed.
fs::path temporaryFolder() {
    std::error_code error;
    const fs::path folder = fs::temp_directory_path(error);
    const char* variable = std::getenv("TMPDIR");
    return !error || variable == nullptr ? folder : fs::path(variable);
}

std::vector<std::string> temporaryRoomWarnings(std::uint64_t bytes) {
    if (bytes == 0) {
        return {};
    }
    const fs::path folder = temporaryFolder();
    const std::string need = "the LAZ inputs need " + megabytes(bytes) + " there for their decoded records";
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        throw std::runtime_error("the temporary folder " + folder.string() + " does not exist; " + need +
                                 ": set TMPDIR to a folder with room");
    }
    struct statvfs room {};
    if (::statvfs(folder.c_str(), &room) == 0) {
        const std::uint64_t free = std::uint64_t{room.f_bavail} * room.f_frsize;
        if (free < bytes) {
            return {"the temporary folder " + folder.string() + " has only " + megabytes(free) + " free; " +
                    need + ": set TMPDIR to a folder with more room"};
        }
    }
    return {};
}

} // namespace

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

std::uint64_t temporaryBytesOf(const std::array<InputLegs, 2>& legs, const ComparisonSettings& settings) {
    return Engine::planLazDecoding({legs[0].headers, legs[1].headers},
                                   settings.memory.value_or(Engine::defaultMemoryBudget()),
                                   settings.threads.value_or(Utils::usableCpuCount()))
        .temporaryBytes;
}

void checkRoom(const std::array<InputLegs, 2>& legs, const OutputRoom& outputRoom,
               std::uint64_t temporaryBytes, bool strict, bool quiet, std::ostream& err,
               std::vector<std::string>& warnings) {
    std::vector<std::string> shortfalls = outputRoom(decodedBytesOf(legs));
    const std::vector<std::string> temporary = temporaryRoomWarnings(temporaryBytes);
    shortfalls.insert(shortfalls.end(), temporary.begin(), temporary.end());
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
