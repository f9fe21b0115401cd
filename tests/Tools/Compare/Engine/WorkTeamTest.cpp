// A work team shares the items of each step among its members in pieces, each piece once, its helpers
// on threads of their own, and hands back the first failure once the members that took part are done.
#include "WorkTeam.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

namespace Orvid::Testing {
namespace {

using Compare::Engine::WorkTeam;

TEST(WorkTeamTest, SharesEveryItemOnceInPiecesOfItsGrainAmongItsThreads) {
    WorkTeam team(3);
    ASSERT_EQ(team.size(), 3u);
    std::mutex mutex;
    std::set<std::thread::id> threads;
    for (const std::size_t count : {0u, 1u, 1000u, 1001u}) {
        std::vector<int> taken(count, 0);
        team.share(count, 10, [&](std::size_t first, std::size_t last, std::size_t member) {
            EXPECT_LT(member, team.size());
            EXPECT_EQ(first % 10, 0u);
            EXPECT_EQ(last, std::min<std::size_t>(first + 10, count));
            for (std::size_t item = first; item < last; ++item) {
                ++taken[item];
            }
            // Slow pieces, so that the helpers join.
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            const std::lock_guard<std::mutex> lock(mutex);
            threads.insert(std::this_thread::get_id());
        });
        EXPECT_EQ(taken, std::vector<int>(count, 1)) << count << " items";
    }
    EXPECT_GT(threads.size(), 1u);
}

TEST(WorkTeamTest, ATeamOfOneWorksOnTheCallersThread) {
    for (const unsigned threads : {0u, 1u}) {
        WorkTeam team(threads);
        ASSERT_EQ(team.size(), 1u);
        std::set<std::thread::id> ran;
        team.share(50, 7, [&](std::size_t, std::size_t, std::size_t member) {
            EXPECT_EQ(member, 0u);
            ran.insert(std::this_thread::get_id());
        });
        EXPECT_EQ(ran, std::set<std::thread::id>{std::this_thread::get_id()});
    }
}

TEST(WorkTeamTest, RethrowsTheFirstFailureOnceThePiecesUnderWayAreDoneAndShareTheNextStep) {
    WorkTeam team(2);
    std::atomic<int> finished{0};
    std::atomic<int> started{0};
    EXPECT_THROW(team.share(100, 1,
                            [&](std::size_t first, std::size_t, std::size_t) {
                                ++started;
                                if (first == 1) {
                                    throw std::runtime_error("piece failed");
                                }
                                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                                ++finished;
                            }),
                 std::runtime_error);
    // Pieces stop being handed out; those under way finish before the failure is rethrown.
    EXPECT_LT(started.load(), 10);
    EXPECT_EQ(finished.load(), started.load() - 1);
    std::atomic<std::size_t> items{0};
    team.share(64, 8, [&](std::size_t first, std::size_t last, std::size_t) { items += last - first; });
    EXPECT_EQ(items.load(), 64u);
}

TEST(WorkTeamTest, RunsTheCallersOwnWorkFirstOnItsThreadWhileTheHelpersTakePieces) {
    WorkTeam team(2);
    std::set<std::thread::id> ran;
    std::atomic<std::size_t> items{0};
    team.share(
        20, 1,
        [&](std::size_t first, std::size_t last, std::size_t) {
            items += last - first;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        },
        [&] { ran.insert(std::this_thread::get_id()); });
    EXPECT_EQ(ran, std::set<std::thread::id>{std::this_thread::get_id()});
    EXPECT_EQ(items.load(), 20u);
    EXPECT_THROW(team.share(
                     10, 1, [&](std::size_t, std::size_t, std::size_t) {},
                     [] { throw std::runtime_error("own work failed"); }),
                 std::runtime_error);
}

} // namespace
} // namespace Orvid::Testing
