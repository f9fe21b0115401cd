#include "Laz/CopyableChunks.h"

#include "Laz/PositionalFile.h"

#include <algorithm>
#include <string>

namespace Orvid::FileIoInterface::Las::Laz {

CopyableChunks::CopyableChunks(const LazChunkReader& reader)
    : mPath(reader.path())
    , mDescription(reader.description())
    , mRecordLength(reader.recordLength())
    , mWhole(!reader.cutToHeader())
    , mChunks(reader.chunks()) {}

std::optional<std::size_t> CopyableChunks::chunkStartingAt(std::uint64_t point) const {
    const auto found =
        std::lower_bound(mChunks.begin(), mChunks.end(), point,
                         [](const LazChunk& chunk, std::uint64_t first) { return chunk.firstPoint < first; });
    if (found == mChunks.end() || found->firstPoint != point) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(found - mChunks.begin());
}

void CopyableChunks::read(std::size_t index, std::vector<std::uint8_t>& bytes) const {
    const LazChunk& chunk = mChunks.at(index);
    const PositionalFile file(mPath);
    bytes.resize(static_cast<std::size_t>(chunk.byteCount));
    file.readAt(chunk.byteOffset, bytes.data(), bytes.size(),
                "chunk " + std::to_string(index) + " at byte " + std::to_string(chunk.byteOffset));
}

} // namespace Orvid::FileIoInterface::Las::Laz
