#pragma once

#include <CompareEngine/Progress.h>

#include <cstdint>

namespace Orvid::Compare::Engine {

/// Counts the points done of one phase and passes them on about every 1/256 of the total, and at the
/// end. Used by one thread at a time.
class ProgressReporter {
public:
    ProgressReporter(const ProgressCallback& callback, Phase phase, std::uint64_t total)
        : mCallback(callback)
        , mPhase(phase)
        , mTotal(total)
        , mStep(total / 256 + 1) {
        if (mCallback) {
            mCallback(mPhase, 0, mTotal);
        }
    }
    ProgressReporter(const ProgressReporter&) = delete;
    ProgressReporter& operator=(const ProgressReporter&) = delete;

    void advance(std::uint64_t points) {
        mDone += points;
        if (mCallback && mDone >= mNext) {
            mNext = mDone + mStep;
            mReported = mDone < mTotal ? mDone : mTotal;
            mCallback(mPhase, mReported, mTotal);
        }
    }

    /// Reports the whole total as done.
    void finish() {
        mDone = mTotal;
        if (mCallback && mReported != mTotal) {
            mReported = mTotal;
            mCallback(mPhase, mTotal, mTotal);
        }
    }

private:
    const ProgressCallback& mCallback;
    Phase mPhase;
    std::uint64_t mTotal;
    std::uint64_t mStep;
    std::uint64_t mDone = 0;
    std::uint64_t mNext = 0;
    std::uint64_t mReported = 0;
};

} // namespace Orvid::Compare::Engine
