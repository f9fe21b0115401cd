#pragma once

#include <cstdint>
#include <filesystem>

namespace Orvid::FileIoInterface::Las {

/// Point records of a LAS file kept elsewhere as raw bytes: `count` records, one after the other with
/// no header, from byte `offset` of the file `file`. Their layout is the one their LAS file's header
/// describes.
struct RawRecordRun {
    std::filesystem::path file;
    std::uint64_t offset = 0;
    std::uint64_t count = 0;
};

} // namespace Orvid::FileIoInterface::Las
