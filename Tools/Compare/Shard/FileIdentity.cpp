#include "Shard/FileIdentity.h"

#include "Metadata/Fnv1aHash.h"

#include <Core/IOException.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>

#include <sys/stat.h>

namespace Orvid::Compare {
namespace {

namespace fs = std::filesystem;

/// Sampled stretches: the first and the last and others evenly between, so that a file rewritten with
/// the same size (another tile, another survey) differs in some of them.
constexpr std::uint64_t SAMPLES = 64;
constexpr std::uint64_t SAMPLE_BYTES = 4096;

std::string hashOfSamples(const fs::path& path, std::uint64_t bytes) {
    std::ifstream file(path, std::ios::binary);
    Fnv1aHash hash;
    std::array<char, SAMPLE_BYTES> buffer{};
    const std::uint64_t span = bytes > SAMPLE_BYTES ? bytes - SAMPLE_BYTES : 0;
    for (std::uint64_t sample = 0; sample < SAMPLES && file; ++sample) {
        file.seekg(static_cast<std::streamoff>(span * sample / (SAMPLES - 1)));
        file.read(buffer.data(), static_cast<std::streamsize>(std::min(SAMPLE_BYTES, bytes)));
        hash.add(buffer.data(), static_cast<std::size_t>(file.gcount()));
    }
    if (!file) {
        throw Core::IOException(path.string() + ": cannot read it to tell whether it changed");
    }
    return hash.hex();
}

} // namespace

FileIdentity identityOf(const fs::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        throw Core::IOException(path.string() + ": cannot read this input of the plan (" +
                                std::strerror(errno) + ")");
    }
    FileIdentity identity;
    identity.bytes = static_cast<std::uint64_t>(status.st_size);
    identity.modified = std::int64_t{status.st_mtim.tv_sec} * 1000000000 + status.st_mtim.tv_nsec;
    identity.sampleHash = hashOfSamples(path, identity.bytes);
    return identity;
}

std::optional<std::string> changeOf(const FileIdentity& then, const FileIdentity& now) {
    if (now.bytes != then.bytes) {
        return std::to_string(now.bytes) + " bytes, not " + std::to_string(then.bytes);
    }
    if (now.sampleHash != then.sampleHash) {
        return "other bytes of the same size";
    }
    if (now.modified != then.modified) {
        return "modified again";
    }
    return std::nullopt;
}

} // namespace Orvid::Compare
