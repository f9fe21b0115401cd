#pragma once

#include "Laz/WorkerThreads.h"

#include <FileIoInterface/Las/LasCompressionThreads.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <vector>

namespace Orvid::FileIoInterface::Las::Laz {

class ChunkEncoder;

/// Compresses chunks of records on worker threads of its own and hands the compressed chunks back on
/// the caller's thread, in the order they were submitted. At most a few chunks per worker are in
/// flight, so the memory stays bounded whatever the number of points.
class ChunkEncodingPipeline {
public:
    /// Receives each compressed chunk (which it may take) and its point count, in submission order.
    using Deliver = std::function<void(std::vector<std::uint8_t>& chunk, std::uint32_t points)>;

    /// `encoder` must outlive the pipeline; `threads` is at least 1.
    ChunkEncodingPipeline(const ChunkEncoder& encoder, std::size_t threads);
    /// Compresses on `shared` threads, which must outlive the pipeline, in place of threads of its own.
    ChunkEncodingPipeline(const ChunkEncoder& encoder, LasCompressionThreads& shared);
    /// Stops and joins the workers (or waits for the shared threads' tasks it posted), abandoning the
    /// chunks not delivered.
    ~ChunkEncodingPipeline();
    ChunkEncodingPipeline(const ChunkEncodingPipeline&) = delete;
    ChunkEncodingPipeline& operator=(const ChunkEncodingPipeline&) = delete;

    /// Queues the first `points` records of `records` as the next chunk and gives `records` back as a
    /// recycled buffer of unspecified content. While the pipeline is full, delivers the oldest chunk
    /// first. Rethrows what the encoder threw for a chunk when that chunk's turn comes.
    void submit(std::vector<std::uint8_t>& records, std::uint32_t points, const Deliver& deliver);
    /// Queues `chunk`, compressed already, as the next chunk of `points` points, and gives `chunk` back
    /// as a recycled buffer of unspecified content; it is delivered in its turn, compressing nothing.
    void submitCompressed(std::vector<std::uint8_t>& chunk, std::uint32_t points, const Deliver& deliver);
    /// Delivers every chunk still in flight.
    void drain(const Deliver& deliver);

private:
    struct Slot {
        std::vector<std::uint8_t> records;
        std::uint32_t points = 0;
        std::vector<std::uint8_t> chunk;
        std::exception_ptr error;
        bool ready = false;
        /// Queued compressed: no worker claims it.
        bool compressed = false;
    };

    /// Waits for a free slot, then fills it under the lock with `fill` and queues it.
    template <typename Fill>
    void queue(const Deliver& deliver, Fill&& fill);
    /// Skips the slots queued compressed; whether a slot is left to compress. Called under the lock.
    bool claimable();
    void deliverOldest(const Deliver& deliver);
    void work();
    /// Claims the next slot of records (there is one) and compresses it, the lock released meanwhile.
    void encodeClaimed(std::unique_lock<std::mutex>& lock);
    /// Claims and compresses the next chunk submitted, unless stopping: one task on a shared thread.
    void encodeNext();

    const ChunkEncoder& mEncoder;
    std::vector<Slot> mSlots;
    std::size_t mSubmitted = 0;
    std::size_t mClaimed = 0;
    std::size_t mDelivered = 0;
    bool mStopping = false;
    LasCompressionThreads* mShared = nullptr;
    /// Tasks posted to the shared threads, and those of them finished.
    std::size_t mPosted = 0;
    std::size_t mFinished = 0;
    std::mutex mMutex;
    std::condition_variable mWork;
    std::condition_variable mReady;
    WorkerThreads mWorkers;
};

} // namespace Orvid::FileIoInterface::Las::Laz
