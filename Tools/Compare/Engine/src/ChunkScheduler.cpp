#include "ChunkScheduler.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace Orvid::Compare::Engine {

namespace {

/// Thrown inside a worker to leave once another worker has failed.
struct Abandoned {};

/// The hand-over between workers: the free matchers, the chunks matched and waiting for their turn
/// to be replayed, and whose turn it is.
class Relay {
public:
    Relay(std::vector<std::unique_ptr<ChunkMatcher>>& matchers, std::size_t chunkCount,
          const ReplayTarget& target, const ChunkReplayed& replayed)
        : mTarget(target)
        , mReplayed(replayed)
        , mMatched(chunkCount, nullptr) {
        for (const std::unique_ptr<ChunkMatcher>& matcher : matchers) {
            mFree.push_back(matcher.get());
        }
    }

    /// A free matcher and the next chunk to match in it, taken together so that the chunk whose
    /// turn it is always has a matcher; false when every chunk is taken.
    bool take(ChunkMatcher*& matcher, std::size_t& chunk) {
        std::unique_lock<std::mutex> lock(mMutex);
        for (;;) {
            if (mFailure) {
                throw Abandoned{};
            }
            if (mNext == mMatched.size()) {
                return false;
            }
            if (!mFree.empty()) {
                matcher = mFree.back();
                mFree.pop_back();
                chunk = mNext++;
                return true;
            }
            waitOrReplay(lock);
        }
    }

    /// Replays what `matcher` kept so far of `chunk`, once every chunk before it is replayed.
    void flush(ChunkMatcher& matcher, std::size_t chunk) {
        {
            std::unique_lock<std::mutex> lock(mMutex);
            while (mTurn != chunk || mReplaying) {
                if (mFailure) {
                    throw Abandoned{};
                }
                waitOrReplay(lock);
            }
        }
        // No other thread replays: `chunk` has its turn and is not matched yet.
        matcher.replay(mTarget);
        if (mReplayed) {
            mReplayed(chunk, matcher, false);
        }
    }

    /// Marks `chunk` as matched in `matcher` and replays the chunks whose turn has come, unless
    /// another thread is doing so.
    void finish(ChunkMatcher& matcher, std::size_t chunk) {
        std::unique_lock<std::mutex> lock(mMutex);
        mMatched[chunk] = &matcher;
        if (!mReplaying) {
            replayReady(lock);
        }
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
    /// Replays the chunk whose turn it is when it is matched and nobody replays; waits otherwise.
    void waitOrReplay(std::unique_lock<std::mutex>& lock) {
        if (!mReplaying && mTurn < mMatched.size() && mMatched[mTurn] != nullptr) {
            replayReady(lock);
        } else {
            mChanged.wait(lock);
        }
    }

    /// Replays matched chunks from the turn on, without the lock while replaying so that the other
    /// workers go on matching; `lock` is held on entry and on return.
    void replayReady(std::unique_lock<std::mutex>& lock) {
        mReplaying = true;
        while (mTurn < mMatched.size() && mMatched[mTurn] != nullptr) {
            ChunkMatcher* matcher = mMatched[mTurn];
            const std::size_t chunk = mTurn;
            lock.unlock();
            try {
                matcher->replay(mTarget);
                if (mReplayed) {
                    mReplayed(chunk, *matcher, true);
                }
            } catch (...) {
                lock.lock();
                mReplaying = false;
                throw;
            }
            lock.lock();
            ++mTurn;
            mFree.push_back(matcher);
            mChanged.notify_all();
        }
        mReplaying = false;
        mChanged.notify_all();
    }

    const ReplayTarget& mTarget;
    const ChunkReplayed& mReplayed;
    std::mutex mMutex;
    std::condition_variable mChanged;
    std::vector<ChunkMatcher*> mFree;
    /// Per chunk, its matcher once matched and until replayed.
    std::vector<ChunkMatcher*> mMatched;
    std::size_t mNext = 0;
    std::size_t mTurn = 0;
    bool mReplaying = false;
    std::exception_ptr mFailure;
};

} // namespace

void runChunks(
    std::vector<std::unique_ptr<ChunkMatcher>>& matchers, unsigned threads, std::size_t chunkCount,
    const std::function<ChunkSequences(std::size_t chunk, const ChunkMatcher& matcher)>& sequencesOf,
    const ReplayTarget& target, const ChunkReplayed& replayed) {
    Relay relay(matchers, chunkCount, target, replayed);
    const auto work = [&] {
        try {
            ChunkMatcher* matcher = nullptr;
            std::size_t chunk = 0;
            while (relay.take(matcher, chunk)) {
                ChunkSequences sequences = sequencesOf(chunk, *matcher);
                // A single chunk leaves the other threads to its matcher's large keys.
                matcher->match(
                    sequences.first, sequences.second, [&] { relay.flush(*matcher, chunk); },
                    chunkCount == 1 ? threads : 1);
                relay.finish(*matcher, chunk);
            }
        } catch (const Abandoned&) {
        } catch (...) {
            relay.fail(std::current_exception());
        }
    };
    const std::size_t helpers =
        std::min({std::size_t{threads}, matchers.size(), std::max<std::size_t>(chunkCount, 1)}) - 1;
    std::vector<std::thread> pool;
    pool.reserve(helpers);
    for (std::size_t helper = 0; helper < helpers; ++helper) {
        pool.emplace_back(work);
    }
    work();
    for (std::thread& thread : pool) {
        thread.join();
    }
    if (const std::exception_ptr failure = relay.failure()) {
        std::rethrow_exception(failure);
    }
}

} // namespace Orvid::Compare::Engine
