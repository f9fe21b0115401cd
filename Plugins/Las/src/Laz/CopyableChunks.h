#pragma once

#include "Laz/LazChunkReader.h"
#include "Laz/LazDescription.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace Orvid::FileIoInterface::Las::Laz {

/// What a writer needs to copy the compressed chunks of a LAZ file: their table and description. The
/// file is opened for each copy alone, so that a program may keep many such files at hand without
/// holding a descriptor for each.
class CopyableChunks {
public:
    /// Takes the chunks that `reader` found in its file.
    explicit CopyableChunks(const LazChunkReader& reader);

    const LazDescription& description() const { return mDescription; }
    std::uint16_t recordLength() const { return mRecordLength; }
    /// Whether the chunks decode to exactly the records they are counted for (see
    /// `LazChunkReader::cutToHeader`).
    bool whole() const { return mWhole; }
    const LazChunk& chunk(std::size_t index) const { return mChunks[index]; }

    /// The chunk whose first point is `point`, if one begins there.
    std::optional<std::size_t> chunkStartingAt(std::uint64_t point) const;
    /// Replaces `bytes` with the compressed bytes of chunk `index`. Throws Core::IOException naming the
    /// file when it cannot be read.
    void read(std::size_t index, std::vector<std::uint8_t>& bytes) const;

private:
    std::filesystem::path mPath;
    LazDescription mDescription;
    std::uint16_t mRecordLength;
    bool mWhole;
    std::vector<LazChunk> mChunks;
};

} // namespace Orvid::FileIoInterface::Las::Laz
