#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace Orvid::Compare::Engine {

/// The calling thread and `threads - 1` helper threads that share the steps of one job: the items of a
/// step are taken in pieces by whichever member is free, and a helper that the system wakes only once
/// every piece is taken sits the step out rather than hold it up. The helpers live as long as the team,
/// so that a job of many short steps does not start threads for each.
class WorkTeam {
public:
    /// Starts `threads - 1` helpers (none for 0 or 1).
    explicit WorkTeam(unsigned threads);
    /// Stops the helpers and waits for them.
    ~WorkTeam();
    WorkTeam(const WorkTeam&) = delete;
    WorkTeam& operator=(const WorkTeam&) = delete;

    /// The members: the calling thread (member 0) and the helpers.
    std::size_t size() const { return mHelpers.size() + 1; }

    /// Runs `work(first, last, member)` over pieces of up to `grain` items that cover items 0 to
    /// `count - 1`, each piece once, on the members that join the step, the calling thread among them;
    /// returns when every piece is done. The first exception a piece throws stops the handing out of
    /// pieces and is rethrown here.
    void share(std::size_t count, std::size_t grain,
               const std::function<void(std::size_t first, std::size_t last, std::size_t member)>& work);
    /// The same, the calling thread running `callerFirst` before it takes pieces: work of its own that
    /// the helpers' pieces overlap.
    void share(std::size_t count, std::size_t grain,
               const std::function<void(std::size_t first, std::size_t last, std::size_t member)>& work,
               const std::function<void()>& callerFirst);

private:
    /// Takes pieces of the current step until none is left.
    void work(std::size_t member);
    /// Keeps the first failure of the step and stops the handing out of pieces.
    void fail(std::exception_ptr failure);
    void help(std::size_t member);

    std::mutex mMutex;
    std::condition_variable mStarted;
    std::condition_variable mFinished;
    /// The current step: its work, items, piece size and the first item not yet taken.
    const std::function<void(std::size_t, std::size_t, std::size_t)>* mWork = nullptr;
    std::size_t mCount = 0;
    std::size_t mGrain = 1;
    std::atomic<std::size_t> mNext{0};
    /// Counts the steps started, so that a helper takes part in each at most once.
    std::size_t mGeneration = 0;
    /// Whether helpers may still join the current step, and how many joined and have not finished.
    bool mOpen = false;
    std::size_t mRunning = 0;
    bool mStopping = false;
    std::exception_ptr mFailure;
    std::vector<std::thread> mHelpers;
};

} // namespace Orvid::Compare::Engine
