#pragma once

#include "Laz/ChunkDecoding.h"
#include "Laz/LazDescription.h"
#include "Laz/PositionalFile.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <vector>

namespace Orvid::FileIoInterface::Las {
struct LasHeader;
}

namespace Orvid::FileIoInterface::Las::Laz {

/// Where one chunk's points and bytes lie.
struct LazChunk {
    /// Index of the chunk's first point in the file, from 0.
    std::uint64_t firstPoint = 0;
    std::uint64_t pointCount = 0;
    /// Byte offset of the chunk in the file, and its length.
    std::uint64_t byteOffset = 0;
    std::uint64_t byteCount = 0;
};

/// The chunks of a LAZ file and their decoding. The constructor takes the LAZ description record and
/// the extent of the point data from the header, reads the chunk table (or, when the file states none,
/// finds the chunks by decoding them in order) and checks them against the header; the chunks then hold
/// exactly the header's points. A file compressed point-wise without chunks is one chunk.
///
/// `decodeChunk` may be called from several threads at once. Every failure throws Core::IOException
/// whose message starts with the file's path and names the chunk and the byte offset.
class LazChunkReader {
public:
    /// `header` is the file's header as `readLasHeader` returns it, whose LAZ description record and
    /// point data extent are used as they are; `build` the decoder build that decodes the chunks.
    LazChunkReader(const std::filesystem::path& path, const LasHeader& header,
                   DecoderBuild build = fastestDecoderBuild());
    ~LazChunkReader();
    LazChunkReader(const LazChunkReader&) = delete;
    LazChunkReader& operator=(const LazChunkReader&) = delete;

    const std::vector<LazChunk>& chunks() const { return mChunks; }
    const LazDescription& description() const { return mDescription; }
    std::uint16_t recordLength() const { return mRecordLength; }
    const std::filesystem::path& path() const { return mFile.path(); }
    DecoderBuild build() const { return mBuild; }
    /// Whether the chunks hold more points than the header states, so that the last ones were cut to
    /// fit it: such chunks decode to more records than they are counted for.
    bool cutToHeader() const { return mCutToHeader; }

    /// Replaces `records` with the raw LAS records of chunk `index`, byte for byte those of the
    /// uncompressed file; only the first `points` of them when fewer than the chunk holds (which decodes
    /// no further).
    void decodeChunk(std::size_t index, std::vector<std::uint8_t>& records,
                     std::uint64_t points = std::numeric_limits<std::uint64_t>::max()) const;

private:
    void parseDescription(const LasHeader& header);
    void readChunkTable(const LasHeader& header, std::uint64_t tableOffset);
    void findChunks(const LasHeader& header);
    void keepPoints(std::uint64_t pointCount);

    PositionalFile mFile;
    LazDescription mDescription;
    std::uint16_t mRecordLength = 0;
    std::uint64_t mPointDataStart = 0;
    /// Where the point data ends, as the header states it.
    std::uint64_t mPointDataEnd = 0;
    std::vector<LazChunk> mChunks;
    DecoderBuild mBuild;
    bool mCutToHeader = false;
};

} // namespace Orvid::FileIoInterface::Las::Laz
