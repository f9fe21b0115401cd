#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace Orvid::FileIoInterface::Las::Laz {

/// A file read at explicit byte offsets, safe to read from several threads at once. Every failure
/// throws Core::IOException naming the file.
class PositionalFile {
public:
    explicit PositionalFile(const std::filesystem::path& path);
    ~PositionalFile();
    PositionalFile(const PositionalFile&) = delete;
    PositionalFile& operator=(const PositionalFile&) = delete;

    const std::filesystem::path& path() const { return mPath; }
    std::uint64_t size() const { return mSize; }

    /// Reads `count` bytes from `offset`, which the caller has checked to lie within the file; `what`
    /// names them in the message when the file is shorter than it was.
    void readAt(std::uint64_t offset, std::uint8_t* bytes, std::size_t count, const std::string& what) const;
    std::vector<std::uint8_t> readAt(std::uint64_t offset, std::size_t count, const std::string& what) const;

    /// "<path>: <text>", the start of every message about this file.
    std::string message(const std::string& text) const;

private:
    std::filesystem::path mPath;
    int mDescriptor = -1;
    std::uint64_t mSize = 0;
};

} // namespace Orvid::FileIoInterface::Las::Laz
