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

/// The point data of a chunked LAZ file, written as its chunks of records arrive: the chunk table's
/// offset (a placeholder until `finish`), the compressed chunks in order, then the chunk table. The
/// chunks are compressed on the caller's thread or, from the second chunk on when more than one thread
/// is given or threads shared with other writers, by a pipeline on those threads. Operations return false on
/// failure; `error()` says why, starting with the file's path.
class LazPointData {
public:
    /// Writes into `file` (which must outlive this) from `pointDataOffset` on. Throws
    /// std::invalid_argument, as ChunkEncoder does, for a description the encoders cannot write.
    LazPointData(OutputFile& file, std::string path, const Laz::LazDescription& description,
                 std::uint16_t recordLength, std::uint64_t pointDataOffset, std::size_t threads,
                 std::shared_ptr<LasCompressionThreads> sharedThreads);
    ~LazPointData();
    LazPointData(const LazPointData&) = delete;
    LazPointData& operator=(const LazPointData&) = delete;

    /// Writes the placeholder of the chunk table's offset, at the file's current position.
    bool begin();
    /// The next chunk: the first `points` records of `records`, which may come back as another buffer
    /// of the same capacity. `last` tells that no chunk follows, which spares starting the threads.
    bool add(std::vector<std::uint8_t>& records, std::uint32_t points, bool last);
    /// Writes the chunks still in flight and the chunk table, then the table's offset.
    bool finish();
    const std::string& error() const { return mError; }

private:
    void write(std::vector<std::uint8_t>& chunk, std::uint32_t points);
    bool fail(const std::exception& failure);

    OutputFile& mFile;
    std::string mPath;
    Laz::ChunkEncoder mEncoder;
    std::uint64_t mPointDataOffset;
    std::size_t mThreads;
    // Declared before the pipeline, which posts to them, so that they outlive it.
    std::shared_ptr<LasCompressionThreads> mSharedThreads;
    /// The next chunk's file offset.
    std::uint64_t mOffset;
    std::vector<Laz::ChunkSize> mChunks;
    std::unique_ptr<Laz::ChunkEncodingPipeline> mPipeline;
    Laz::ChunkEncodingPipeline::Deliver mDeliver;
    std::string mError;
};

} // namespace Orvid::FileIoInterface::Las
