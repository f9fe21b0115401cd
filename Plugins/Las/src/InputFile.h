#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace Orvid::FileIoInterface::Las {

/// A file opened for reading, with its size. Every failure throws Core::IOException naming the file.
class InputFile {
public:
    explicit InputFile(const std::filesystem::path& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    const std::filesystem::path& path() const { return mPath; }
    std::uint64_t size() const { return mSize; }

    void seek(std::uint64_t offset);
    /// Reads up to `count` bytes and returns how many were read: fewer only at the end of the file.
    std::size_t read(std::uint8_t* bytes, std::size_t count);
    /// Reads exactly `count` bytes; throws with "<path>: <what> truncated at byte <n>" otherwise.
    void readExactly(std::uint8_t* bytes, std::size_t count, const char* what);

    /// "<path>: <message>", the start of every message about this file.
    std::string message(const std::string& text) const;

private:
    std::filesystem::path mPath;
    std::FILE* mFile = nullptr;
    std::uint64_t mSize = 0;
    std::uint64_t mPosition = 0;
};

} // namespace Orvid::FileIoInterface::Las
