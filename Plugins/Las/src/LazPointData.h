#pragma once

#include "Laz/ChunkEncoder.h"
#include "Laz/ChunkEncodingPipeline.h"
#include "Laz/PointBlockEncoder.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace Orvid::FileIoInterface::Las {

class OutputFile;
namespace Laz {
class CopyableChunks;
}

/// The point data of a chunked LAZ file, written as its chunks of records arrive: the chunk table's
/// offset (a placeholder until `finish`), the compressed chunks in order, then the chunk table. Chunks
/// copied from another file may hold any number of points; the chunks then each state their count,
/// and `finish` says so in the description record as well. The
/// chunks are compressed on the caller's thread or, from the second chunk on when more than one thread
/// is given or threads shared with other writers, by a pipeline on those threads. Operations return false on
/// failure; `error()` says why, starting with the file's path.
class LazPointData {
public:
    /// Writes into `file` (which must outlive this) from `pointDataOffset` on; the description's chunk
    /// size lies at `chunkSizeOffset` of the file. Throws std::invalid_argument, as ChunkEncoder does,
    /// for a description the encoders cannot write.
    LazPointData(OutputFile& file, std::string path, const Laz::LazDescription& description,
                 std::uint16_t recordLength, std::uint64_t pointDataOffset, std::uint64_t chunkSizeOffset,
                 std::size_t threads, std::shared_ptr<LasCompressionThreads> sharedThreads);
    ~LazPointData();
    LazPointData(const LazPointData&) = delete;
    LazPointData& operator=(const LazPointData&) = delete;

    /// Writes the placeholder of the chunk table's offset, at the file's current position.
    bool begin();
    /// The next chunk: the first `points` records of `records`, which may come back as another buffer
    /// of the same capacity. `last` tells that no chunk follows, which spares starting the threads.
    bool add(std::vector<std::uint8_t>& records, std::uint32_t points, bool last);
    /// Whether chunks of `source` decode as this file's would: the same compressor, items and records.
    bool canCopyFrom(const Laz::CopyableChunks& source) const;
    /// The next chunk: chunk `chunk` of `source` (which `canCopyFrom` accepts), copied compressed.
    bool copy(const Laz::CopyableChunks& source, std::size_t chunk);
    /// Writes the chunks still in flight and the chunk table, then the table's offset.
    bool finish();
    const std::string& error() const { return mError; }

private:
    void write(std::vector<std::uint8_t>& chunk, std::uint32_t points);
    bool fail(const std::exception& failure);

    OutputFile& mFile;
    std::string mPath;
    Laz::LazDescription mDescription;
    std::uint16_t mRecordLength;
    Laz::ChunkEncoder mEncoder;
    std::uint64_t mPointDataOffset;
    std::uint64_t mChunkSizeOffset;
    std::size_t mThreads;
    // Declared before the pipeline, which posts to them, so that they outlive it.
    std::shared_ptr<LasCompressionThreads> mSharedThreads;
    /// The next chunk's file offset.
    std::uint64_t mOffset;
    std::vector<Laz::ChunkSize> mChunks;
    std::unique_ptr<Laz::ChunkEncodingPipeline> mPipeline;
    /// A copied chunk's bytes, kept for the next.
    std::vector<std::uint8_t> mCopied;
    Laz::ChunkEncodingPipeline::Deliver mDeliver;
    std::string mError;
};

} // namespace Orvid::FileIoInterface::Las
