#pragma once

#include <FileIoInterface/Las/LasPoint.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace Orvid::Testing::Las {

/// A fresh folder under the system's temporary folder, removed with everything in it on destruction.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return mPath; }
    std::filesystem::path operator/(const std::string& name) const { return mPath / name; }

private:
    std::filesystem::path mPath;
};

/// A file of the shared sample folder.
std::filesystem::path sampleFile(const std::string& name);

std::vector<std::uint8_t> readBytes(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

/// Stores `value` little-endian at `offset` of `bytes`.
template <typename T>
void put(std::vector<std::uint8_t>& bytes, std::size_t offset, T value) {
    std::memcpy(bytes.data() + offset, &value, sizeof(T));
}

/// A valid LAS 1.<minor> file of `format` with `points` zero-filled records of `recordLength` bytes
/// (the format's standard length when 0), scale 0.01 and no VLR.
std::vector<std::uint8_t> craftLas(std::uint8_t minor, std::uint8_t format, std::uint32_t points,
                                   std::uint16_t recordLength = 0);

/// Every point of the single-leg file at `path`.
std::vector<std::unique_ptr<FileIoInterface::Las::LasPoint>> readPoints(const std::filesystem::path& path);

/// Expects every field of the two points to be equal bit for bit (times and coordinates by their bytes).
void expectSamePoint(const FileIoInterface::Las::LasPoint& expected,
                     const FileIoInterface::Las::LasPoint& actual);

} // namespace Orvid::Testing::Las
