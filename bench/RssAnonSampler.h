#pragma once

// Peak anonymous resident memory (RssAnon) of the benchmark's process, sampled while work runs.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

/// RssAnon from /proc/self/statm: resident less shared (file-backed and shared-memory) pages. Reading
/// statm costs a quarter of parsing /proc/self/status, which, every millisecond, slowed the runs of two
/// threads more than those of one.
inline std::uint64_t rssAnonBytes() {
    const int file = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (file < 0) {
        return 0;
    }
    char text[128] = {};
    const ssize_t length = ::read(file, text, sizeof(text) - 1);
    ::close(file);
    unsigned long long size = 0;
    unsigned long long resident = 0;
    unsigned long long shared = 0;
    if (length <= 0 || std::sscanf(text, "%llu %llu %llu", &size, &resident, &shared) != 3 ||
        shared > resident) {
        return 0;
    }
    return static_cast<std::uint64_t>(resident - shared) *
           static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}

/// Samples RssAnon every millisecond while it lives and keeps the peak.
class RssAnonSampler {
public:
    RssAnonSampler()
        : mPeak(rssAnonBytes())
        , mThread([this] {
            while (!mStop.load()) {
                record(rssAnonBytes());
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }) {}
    ~RssAnonSampler() { stop(); }
    RssAnonSampler(const RssAnonSampler&) = delete;
    RssAnonSampler& operator=(const RssAnonSampler&) = delete;

    std::uint64_t stop() {
        if (mThread.joinable()) {
            mStop = true;
            mThread.join();
            record(rssAnonBytes());
        }
        return mPeak.load();
    }

private:
    void record(std::uint64_t bytes) {
        std::uint64_t peak = mPeak.load();
        while (bytes > peak && !mPeak.compare_exchange_weak(peak, bytes)) {
        }
    }

    std::atomic<std::uint64_t> mPeak;
    std::atomic<bool> mStop{false};
    std::thread mThread;
};
