#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace Orvid::FileIoInterface::Las::Laz {

/// The worker threads of a chunk pipeline: each runs the pipeline's work loop until the pipeline's stop
/// flag is set. `stop` sets that flag under the mutex the workers wait on, wakes them and joins them.
class WorkerThreads {
public:
    WorkerThreads() = default;
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;

    template <typename Work>
    void start(std::size_t count, Work work) {
        mThreads.reserve(count);
        for (std::size_t index = 0; index < count; ++index) {
            mThreads.emplace_back(work);
        }
    }

    void stop(std::mutex& mutex, bool& stopping, std::condition_variable& wake) {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        for (std::thread& thread : mThreads) {
            thread.join();
        }
        mThreads.clear();
    }

    bool empty() const { return mThreads.empty(); }

private:
    std::vector<std::thread> mThreads;
};

/// A worker's turn with a slot it claimed under `lock`: `work` fills the slot with the lock released (the
/// slot is the worker's alone until it is ready), then the slot is marked ready, with what `work` threw,
/// and the threads waiting on `ready` are woken.
template <typename Slot, typename Work>
void fillSlot(std::unique_lock<std::mutex>& lock, Slot& slot, std::condition_variable& ready, Work work) {
    lock.unlock();
    std::exception_ptr error;
    try {
        work();
    } catch (...) {
        error = std::current_exception();
    }
    lock.lock();
    slot.error = error;
    slot.ready = true;
    ready.notify_all();
}

} // namespace Orvid::FileIoInterface::Las::Laz
