#pragma once

#include "Laz/WorkerThreads.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace Orvid::FileIoInterface::Las::Laz {

class LazChunkReader;

/// Hands out the decoded records of a LAZ file's chunks in file order. With more than one thread, the
/// pipeline's own worker threads decode the chunks ahead of the reader, a few chunks per thread at
/// most; with one, each chunk is decoded when it is asked for. A chunk that fails throws its
/// Core::IOException when its turn comes.
class ChunkPipeline {
public:
    ChunkPipeline(std::shared_ptr<const LazChunkReader> chunks, std::size_t threads);
    /// Stops and joins the workers, abandoning the chunks not handed out.
    ~ChunkPipeline();
    ChunkPipeline(const ChunkPipeline&) = delete;
    ChunkPipeline& operator=(const ChunkPipeline&) = delete;

    /// Replaces `records` with the records of the next chunk (the previous content is recycled);
    /// returns false when every chunk was handed out.
    bool next(std::vector<std::uint8_t>& records);

private:
    struct Slot {
        std::vector<std::uint8_t> records;
        std::exception_ptr error;
        bool ready = false;
    };

    void work();

    std::shared_ptr<const LazChunkReader> mChunks;
    std::size_t mCount;
    std::size_t mNextToHand = 0;
    std::size_t mNextToClaim = 0;
    bool mStopping = false;
    std::vector<Slot> mSlots;
    std::mutex mMutex;
    std::condition_variable mReady;
    std::condition_variable mSpace;
    WorkerThreads mWorkers;
};

} // namespace Orvid::FileIoInterface::Las::Laz
