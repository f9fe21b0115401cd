#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace Orvid::FileIoInterface::Las {

/// A file opened for writing. Operations report failure by returning false; `error()` then says why.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    /// Creates or truncates `path`.
    bool open(const std::filesystem::path& path);
    bool isOpen() const { return mFile != nullptr; }
    bool write(const std::uint8_t* bytes, std::size_t count);
    bool seek(std::uint64_t offset);
    /// Flushes and closes; false when either fails. Closing a closed file succeeds.
    bool close();
    /// The reason of the last failure.
    const std::string& error() const { return mError; }

private:
    bool fail(const char* operation);

    /// Outlives `mFile`, which writes through it.
    std::unique_ptr<char[]> mBuffer;
    std::FILE* mFile = nullptr;
    std::string mError;
};

} // namespace Orvid::FileIoInterface::Las
