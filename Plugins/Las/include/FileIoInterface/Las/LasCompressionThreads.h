#pragma once

#include <FileIoInterface/Las/LasExport.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace Orvid::FileIoInterface::Las {

/// Threads that compress the LAZ chunks of any number of writers (`LasWriterOptions::sharedThreads`):
/// writers open at once then stay within one count of threads, and whichever writer has chunks to
/// compress uses all of them.
class FILEIOINTERFACE_LAS_EXPORT LasCompressionThreads {
public:
    /// Starts `threads` threads, at least 1.
    explicit LasCompressionThreads(std::size_t threads);
    /// Runs the tasks still queued, then joins the threads.
    ~LasCompressionThreads();
    LasCompressionThreads(const LasCompressionThreads&) = delete;
    LasCompressionThreads& operator=(const LasCompressionThreads&) = delete;

    std::size_t size() const { return mThreads.size(); }
    /// Queues `task` for the first free thread; it must not throw.
    void post(std::function<void()> task);

private:
    void work();

    std::mutex mMutex;
    std::condition_variable mWake;
    std::deque<std::function<void()>> mTasks;
    bool mStopping = false;
    std::vector<std::thread> mThreads;
};

} // namespace Orvid::FileIoInterface::Las
