#include "ChunkScheduler.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace Orvid::Compare::Engine {

namespace {

/// Thrown inside a worker to leave once another worker has failed.
struct Abandoned {};

class Turns {
public:
    void wait(std::size_t chunk) {
        std::unique_lock<std::mutex> lock(mMutex);
        mChanged.wait(lock, [&] { return mTurn == chunk || mFailure != nullptr; });
        if (mFailure) {
            throw Abandoned{};
        }
    }
    void pass(std::size_t chunk) {
        {
            const std::lock_guard<std::mutex> lock(mMutex);
            mTurn = chunk + 1;
        }
        mChanged.notify_all();
    }
    void fail(std::exception_ptr failure) {
        {
            const std::lock_guard<std::mutex> lock(mMutex);
            if (!mFailure) {
                mFailure = std::move(failure);
            }
        }
        mChanged.notify_all();
    }
    std::exception_ptr failure() {
        const std::lock_guard<std::mutex> lock(mMutex);
        return mFailure;
    }

private:
    std::mutex mMutex;
    std::condition_variable mChanged;
    std::size_t mTurn = 0;
    std::exception_ptr mFailure;
};

} // namespace

void runChunks(std::vector<std::unique_ptr<ChunkMatcher>>& matchers, std::size_t chunkCount,
               const std::function<ChunkSequences(std::size_t chunk)>& sequencesOf,
               const ReplayTarget& target) {
    Turns turns;
    std::atomic<std::size_t> next{0};
    const auto work = [&](ChunkMatcher& matcher) {
        try {
            for (std::size_t chunk = next++; chunk < chunkCount; chunk = next++) {
                ChunkSequences sequences = sequencesOf(chunk);
                matcher.match(sequences.first, sequences.second, [&] {
                    turns.wait(chunk);
                    matcher.replay(target);
                });
                turns.wait(chunk);
                matcher.replay(target);
                turns.pass(chunk);
            }
        } catch (const Abandoned&) {
        } catch (...) {
            turns.fail(std::current_exception());
        }
    };
    const std::size_t helpers = std::min(matchers.size(), std::max<std::size_t>(chunkCount, 1)) - 1;
    std::vector<std::thread> pool;
    pool.reserve(helpers);
    for (std::size_t helper = 1; helper <= helpers; ++helper) {
        pool.emplace_back(work, std::ref(*matchers[helper]));
    }
    work(*matchers[0]);
    for (std::thread& thread : pool) {
        thread.join();
    }
    if (const std::exception_ptr failure = turns.failure()) {
        std::rethrow_exception(failure);
    }
}

} // namespace Orvid::Compare::Engine
