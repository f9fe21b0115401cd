#pragma once

#include <FileIoInterface/Las/LasExport.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace Orvid::FileIoInterface::Las {

namespace Laz {
class ChunkByChunkLazFile;
}

/// The most recently read decoded chunks of the LAZ files read chunk by chunk that share it
/// (`PointRecordsOptions::chunkCache`): a chunk that any thread reads again while it is among them is
/// not decoded again, and threads that ask for a chunk being decoded wait for it rather than decode it
/// too, and decode the next chunk of the file meanwhile. It holds at most `capacity` chunks, dropping the
/// least recently read; a chunk still being read through a `PointRecords::Cursor` stays alive until that
/// cursor moves on. Safe to share between threads and files.
class FILEIOINTERFACE_LAS_EXPORT LazChunkCache {
public:
    explicit LazChunkCache(std::size_t capacity);
    ~LazChunkCache();
    LazChunkCache(const LazChunkCache&) = delete;
    LazChunkCache& operator=(const LazChunkCache&) = delete;

    std::size_t capacity() const { return mCapacity; }
    /// Chunks decoded since it was made: how often reading them cost a decoding.
    std::uint64_t decodedChunks() const;

private:
    friend class Laz::ChunkByChunkLazFile;
    using Records = std::shared_ptr<const std::vector<std::uint8_t>>;

    /// A number for a file that reads through the cache, told apart from every other file's, even
    /// one that was closed.
    std::uint64_t newFile();
    /// The records of chunk `chunk` of file `file`, from the cache or made by `decode`, whose
    /// exception reaches every thread that waited for it. A thread that finds the chunk still being
    /// decoded by another calls `whileWaiting` (when given) before it waits: work of its own, such as
    /// decoding the chunk that follows.
    Records records(std::uint64_t file, std::size_t chunk,
                    const std::function<void(std::vector<std::uint8_t>&)>& decode,
                    const std::function<void()>& whileWaiting = {});

    struct State;
    std::size_t mCapacity;
    std::unique_ptr<State> mState;
};

} // namespace Orvid::FileIoInterface::Las
