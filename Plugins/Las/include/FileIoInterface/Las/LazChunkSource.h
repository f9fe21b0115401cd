#pragma once

#include <FileIoInterface/Las/LasExport.h>

#include <cstdint>
#include <filesystem>
#include <memory>

namespace Orvid::FileIoInterface::Las {

namespace Laz {
class CopyableChunks;
}

/// The compressed chunks of a LAZ file that points are read from, opened so that a LAZ `LasWriter`
/// can copy them: when the points it writes repeat one of the file's chunks whole, in order and byte
/// for byte, the writer stores that chunk as it is instead of compressing the records again (see
/// `LasPointOrigin`). Holds the chunk table, not the file, which is opened for each chunk copied. Safe
/// to share between writers on several threads.
class FILEIOINTERFACE_LAS_EXPORT LazChunkSource {
public:
    /// Reads the file's header and chunk table. Throws Core::IOException, with a message that starts
    /// with the path, when the file cannot be read or is not a LAZ file.
    explicit LazChunkSource(const std::filesystem::path& path);
    ~LazChunkSource();
    LazChunkSource(const LazChunkSource&) = delete;
    LazChunkSource& operator=(const LazChunkSource&) = delete;

private:
    friend class LasWriter;

    std::unique_ptr<Laz::CopyableChunks> mChunks;
};

/// Where a point handed to `LasWriter::write` was read: record `record` of `source`, whose bytes are
/// `bytes` (`LasHeader::pointRecordLength` of them). A writer without origins, or with an origin
/// lacking its source or bytes, compresses every record itself.
struct LasPointOrigin {
    const LazChunkSource* source = nullptr;
    std::uint64_t record = 0;
    const std::uint8_t* bytes = nullptr;
};

} // namespace Orvid::FileIoInterface::Las
