#pragma once

// Peak anonymous resident memory (RssAnon) of the benchmark's process, sampled while work runs.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

inline std::uint64_t rssAnonBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("RssAnon:", 0) == 0) {
            std::istringstream fields(line.substr(8));
            std::uint64_t kibibytes = 0;
            fields >> kibibytes;
            return kibibytes * 1024;
        }
    }
    return 0;
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
