#include "Laz/ChunkPipeline.h"

#include "Laz/LazChunkReader.h"

#include <utility>

namespace Orvid::FileIoInterface::Las::Laz {

namespace {

// Chunks decoded ahead per worker: enough that a worker never waits for the reader while the reader
// is busy with a chunk, few enough to bound the memory.
constexpr std::size_t CHUNKS_AHEAD_PER_THREAD = 2;

} // namespace

ChunkPipeline::ChunkPipeline(std::shared_ptr<const LazChunkReader> chunks, std::size_t threads)
    : mChunks(std::move(chunks))
    , mCount(mChunks->chunks().size()) {
    if (threads <= 1 || mCount <= 1) {
        return;
    }
    mSlots.resize(threads * CHUNKS_AHEAD_PER_THREAD);
    mWorkers.start(threads, [this] { work(); });
}

ChunkPipeline::~ChunkPipeline() {
    mWorkers.stop(mMutex, mStopping, mSpace);
}

bool ChunkPipeline::next(std::vector<std::uint8_t>& records) {
    if (mNextToHand >= mCount) {
        return false;
    }
    if (mWorkers.empty()) {
        mChunks->decodeChunk(mNextToHand++, records);
        return true;
    }
    std::exception_ptr error;
    {
        std::unique_lock<std::mutex> lock(mMutex);
        Slot& slot = mSlots[mNextToHand % mSlots.size()];
        mReady.wait(lock, [&slot] { return slot.ready; });
        slot.ready = false;
        records.swap(slot.records);
        error = std::exchange(slot.error, nullptr);
        ++mNextToHand;
    }
    mSpace.notify_one();
    if (error) {
        std::rethrow_exception(error);
    }
    return true;
}

void ChunkPipeline::work() {
    std::unique_lock<std::mutex> lock(mMutex);
    for (;;) {
        mSpace.wait(lock, [this] {
            return mStopping || mNextToClaim >= mCount || mNextToClaim < mNextToHand + mSlots.size();
        });
        if (mStopping || mNextToClaim >= mCount) {
            return;
        }
        const std::size_t index = mNextToClaim++;
        // The reader took the slot's last chunk.
        Slot& slot = mSlots[index % mSlots.size()];
        fillSlot(lock, slot, mReady, [this, index, &slot] { mChunks->decodeChunk(index, slot.records); });
    }
}

} // namespace Orvid::FileIoInterface::Las::Laz
