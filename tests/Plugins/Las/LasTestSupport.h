#pragma once

#include <Core/IOException.h>
#include <FileIoInterface/Las/LasPoint.h>

#include "TemporaryFolder.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace Orvid::Testing::Las {

/// A LAS file of the project's sample folder, tests/data/las.
std::filesystem::path sampleFile(const std::string& name);

std::vector<std::uint8_t> readBytes(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

/// Stores `value` little-endian at `offset` of `bytes`.
template <typename T>
void put(std::vector<std::uint8_t>& bytes, std::size_t offset, T value) {
    std::memcpy(bytes.data() + offset, &value, sizeof(T));
}

/// A valid LAS 1.<minor> file of `format` with `points` zero-filled records of the format's standard length
/// plus `extraBytes`, scale 0.01, offset 0 and no VLR.
std::vector<std::uint8_t> craftLas(std::uint8_t minor, std::uint8_t format, std::uint32_t points,
                                   std::uint16_t extraBytes = 0);

/// Inserts a VLR of `payload` before the point data of the crafted file `bytes`.
void addVlr(std::vector<std::uint8_t>& bytes, const char* userId, std::uint16_t recordId,
            const std::vector<std::uint8_t>& payload);

/// Appends to the crafted file `bytes` an extended VLR (60-byte header) that announces `announced` payload
/// bytes and holds `payload`; returns its byte offset.
std::uint64_t appendEvlr(std::vector<std::uint8_t>& bytes, const char* userId, std::uint16_t recordId,
                         std::uint64_t announced, const std::vector<std::uint8_t>& payload = {});

/// A LAS 1.<minor> file of `format` with `points` records of random bytes whose extra bytes hold one field
/// of each data type 1 to 10, described with no-data, min, max, scale and offset, then three undescribed
/// bytes.
std::vector<std::uint8_t> randomLas(std::uint8_t minor, std::uint8_t format, std::uint32_t points = 60);

/// Threads of this process now.
std::size_t threadsNow();

/// Every point of the single-leg file at `path`.
std::vector<std::unique_ptr<FileIoInterface::Las::LasPoint>> readPoints(const std::filesystem::path& path);

/// The message of the IOException that `action` throws.
template <typename Action>
std::string ioErrorOf(Action action) {
    try {
        action();
    } catch (const Core::IOException& error) {
        return error.what();
    }
    return "no exception";
}

/// Reads the single-leg file at `source` and writes its points as LAS 1.<minor> of the same point format;
/// expects the same point records and header facts, so that every field of every point reads back bit for
/// bit.
void expectRoundTrip(const std::filesystem::path& source, std::uint8_t minor);

} // namespace Orvid::Testing::Las
