#include "WorkTeam.h"

#include <algorithm>

namespace Orvid::Compare::Engine {

WorkTeam::WorkTeam(unsigned threads) {
    const std::size_t helpers = threads > 1 ? threads - 1 : 0;
    mHelpers.reserve(helpers);
    for (std::size_t helper = 0; helper < helpers; ++helper) {
        mHelpers.emplace_back([this, helper] { help(helper + 1); });
    }
}

WorkTeam::~WorkTeam() {
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        mStopping = true;
    }
    mStarted.notify_all();
    for (std::thread& helper : mHelpers) {
        helper.join();
    }
}

void WorkTeam::share(
    std::size_t count, std::size_t grain,
    const std::function<void(std::size_t first, std::size_t last, std::size_t member)>& work) {
    share(count, grain, work, {});
}

void WorkTeam::share(std::size_t count, std::size_t grain,
                     const std::function<void(std::size_t first, std::size_t last, std::size_t member)>& work,
                     const std::function<void()>& callerFirst) {
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        mWork = &work;
        mCount = count;
        mGrain = std::max<std::size_t>(grain, 1);
        mNext = 0;
        mFailure = nullptr;
        mOpen = true;
        ++mGeneration;
    }
    if (!mHelpers.empty()) {
        mStarted.notify_all();
    }
    if (callerFirst) {
        try {
            callerFirst();
        } catch (...) {
            fail(std::current_exception());
        }
    }
    this->work(0);
    std::unique_lock<std::mutex> lock(mMutex);
    // Every piece is taken: helpers that have not joined yet have nothing left to do.
    mOpen = false;
    mFinished.wait(lock, [this] { return mRunning == 0; });
    mWork = nullptr;
    if (mFailure) {
        std::rethrow_exception(mFailure);
    }
}

void WorkTeam::work(std::size_t member) {
    try {
        for (std::size_t first = mNext.fetch_add(mGrain); first < mCount; first = mNext.fetch_add(mGrain)) {
            (*mWork)(first, std::min(first + mGrain, mCount), member);
        }
    } catch (...) {
        fail(std::current_exception());
    }
}

void WorkTeam::fail(std::exception_ptr failure) {
    const std::lock_guard<std::mutex> lock(mMutex);
    if (!mFailure) {
        mFailure = std::move(failure);
    }
    // No member takes another piece.
    mNext = mCount;
}

void WorkTeam::help(std::size_t member) {
    std::size_t seen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mMutex);
            mStarted.wait(lock, [&] { return mStopping || mGeneration != seen; });
            if (mStopping) {
                return;
            }
            seen = mGeneration;
            if (!mOpen) {
                continue;
            }
            ++mRunning;
        }
        work(member);
        {
            const std::lock_guard<std::mutex> lock(mMutex);
            --mRunning;
        }
        mFinished.notify_one();
    }
}

} // namespace Orvid::Compare::Engine
