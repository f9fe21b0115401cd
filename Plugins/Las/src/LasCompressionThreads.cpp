#include "FileIoInterface/Las/LasCompressionThreads.h"

#include <algorithm>
#include <utility>

namespace Orvid::FileIoInterface::Las {

LasCompressionThreads::LasCompressionThreads(std::size_t threads) {
    const std::size_t count = std::max<std::size_t>(threads, 1);
    mThreads.reserve(count);
    for (std::size_t index = 0; index < count; ++index) {
        mThreads.emplace_back([this] { work(); });
    }
}

LasCompressionThreads::~LasCompressionThreads() {
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        mStopping = true;
    }
    mWake.notify_all();
    for (std::thread& thread : mThreads) {
        thread.join();
    }
}

void LasCompressionThreads::post(std::function<void()> task) {
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        mTasks.push_back(std::move(task));
    }
    mWake.notify_one();
}

void LasCompressionThreads::work() {
    std::unique_lock<std::mutex> lock(mMutex);
    for (;;) {
        mWake.wait(lock, [this] { return mStopping || !mTasks.empty(); });
        if (mTasks.empty()) {
            return;
        }
        std::function<void()> task = std::move(mTasks.front());
        mTasks.pop_front();
        lock.unlock();
        task();
        lock.lock();
    }
}

} // namespace Orvid::FileIoInterface::Las
