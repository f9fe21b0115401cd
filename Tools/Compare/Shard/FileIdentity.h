#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace Orvid::Compare {

/// What tells a file apart from another put in its place: its size, its modification time and a hash
/// of bytes sampled all over it. Cheap to take (some tens of small reads), so that every stage of a
/// sharded comparison can check that it reads the files the plan was made from.
struct FileIdentity {
    std::uint64_t bytes = 0;
    /// Modification time, in nanoseconds since 1970-01-01 UTC.
    std::int64_t modified = 0;
    /// 64-bit FNV-1a of the sampled bytes, in hexadecimal.
    std::string sampleHash;
};

/// The identity of the file at `path`. Throws Core::IOException, naming the file, when it cannot be read.
FileIdentity identityOf(const std::filesystem::path& path);

/// How `now` differs from `then` (the size first, as a reader would look), in words that follow "changed
/// since the plan was made"; nothing when they are the same.
std::optional<std::string> changeOf(const FileIdentity& then, const FileIdentity& now);

} // namespace Orvid::Compare
