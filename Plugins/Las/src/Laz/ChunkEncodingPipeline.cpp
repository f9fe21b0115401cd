#include "Laz/ChunkEncodingPipeline.h"

#include "Laz/ChunkEncoder.h"

#include <algorithm>
#include <utility>

namespace Orvid::FileIoInterface::Las::Laz {

namespace {

// Chunks in flight per worker: one being compressed and one waiting, so that no worker idles while
// the caller fills the next chunk or writes the last.
constexpr std::size_t CHUNKS_PER_THREAD = 2;

} // namespace

ChunkEncodingPipeline::ChunkEncodingPipeline(const ChunkEncoder& encoder, std::size_t threads)
    : mEncoder(encoder)
    , mSlots(std::max<std::size_t>(threads, 1) * CHUNKS_PER_THREAD) {
    mWorkers.start(std::max<std::size_t>(threads, 1), [this] { work(); });
}

ChunkEncodingPipeline::ChunkEncodingPipeline(const ChunkEncoder& encoder, LasCompressionThreads& shared)
    : mEncoder(encoder)
    , mSlots(shared.size() * CHUNKS_PER_THREAD)
    , mShared(&shared) {}

ChunkEncodingPipeline::~ChunkEncodingPipeline() {
    if (mShared == nullptr) {
        mWorkers.stop(mMutex, mStopping, mWork);
        return;
    }
    // The tasks posted hold this pipeline: each must have run before it goes.
    std::unique_lock<std::mutex> lock(mMutex);
    mStopping = true;
    mReady.wait(lock, [this] { return mFinished == mPosted; });
}

template <typename Fill>
void ChunkEncodingPipeline::queue(const Deliver& deliver, Fill&& fill) {
    if (mSubmitted - mDelivered == mSlots.size()) {
        deliverOldest(deliver);
    }
    const std::lock_guard<std::mutex> lock(mMutex);
    // A compressed slot may be delivered before any worker skipped it: skip it now, before its slot
    // takes new records that a worker would otherwise claim twice.
    claimable();
    // Delivered, so no worker holds it: the slot is the caller's until it is submitted.
    Slot& slot = mSlots[mSubmitted % mSlots.size()];
    fill(slot);
    ++mSubmitted;
}

void ChunkEncodingPipeline::submit(std::vector<std::uint8_t>& records, std::uint32_t points,
                                   const Deliver& deliver) {
    queue(deliver, [this, &records, points](Slot& slot) {
        slot.records.swap(records);
        slot.points = points;
        slot.compressed = false;
        mPosted += mShared != nullptr ? 1 : 0;
    });
    if (mShared != nullptr) {
        mShared->post([this] { encodeNext(); });
    } else {
        mWork.notify_one();
    }
}

void ChunkEncodingPipeline::submitCompressed(std::vector<std::uint8_t>& chunk, std::uint32_t points,
                                             const Deliver& deliver) {
    queue(deliver, [&chunk, points](Slot& slot) {
        slot.chunk.swap(chunk);
        slot.points = points;
        slot.compressed = true;
        slot.ready = true;
    });
}

bool ChunkEncodingPipeline::claimable() {
    while (mClaimed < mSubmitted && mSlots[mClaimed % mSlots.size()].compressed) {
        ++mClaimed;
    }
    return mClaimed < mSubmitted;
}

void ChunkEncodingPipeline::drain(const Deliver& deliver) {
    while (mDelivered < mSubmitted) {
        deliverOldest(deliver);
    }
}

void ChunkEncodingPipeline::deliverOldest(const Deliver& deliver) {
    Slot& slot = mSlots[mDelivered % mSlots.size()];
    {
        std::unique_lock<std::mutex> lock(mMutex);
        mReady.wait(lock, [&slot] { return slot.ready; });
        slot.ready = false;
    }
    ++mDelivered;
    if (slot.error) {
        std::rethrow_exception(std::exchange(slot.error, nullptr));
    }
    deliver(slot.chunk, slot.points);
}

void ChunkEncodingPipeline::work() {
    std::unique_lock<std::mutex> lock(mMutex);
    for (;;) {
        mWork.wait(lock, [this] { return mStopping || claimable(); });
        if (mStopping) {
            return;
        }
        encodeClaimed(lock);
    }
}

void ChunkEncodingPipeline::encodeClaimed(std::unique_lock<std::mutex>& lock) {
    Slot& slot = mSlots[mClaimed++ % mSlots.size()];
    fillSlot(lock, slot, mReady,
             [this, &slot] { slot.chunk = mEncoder.encode(slot.records.data(), slot.points); });
}

void ChunkEncodingPipeline::encodeNext() {
    std::unique_lock<std::mutex> lock(mMutex);
    // Every task posted has a slot of records to claim: compressed slots post none.
    if (!mStopping && claimable()) {
        encodeClaimed(lock);
    }
    ++mFinished;
    mReady.notify_all();
}

} // namespace Orvid::FileIoInterface::Las::Laz
