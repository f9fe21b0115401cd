#pragma once

#include <condition_variable>
#include <cstddef>
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

} // namespace Orvid::FileIoInterface::Las::Laz
