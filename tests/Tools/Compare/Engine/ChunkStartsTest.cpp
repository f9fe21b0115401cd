// Two threads that look for the same chunk start at once, as the chunks on either side of it do, must
// end with the same answer even when their searches disagree, as searches in an input out of key
// order may.
#include "ChunkStarts.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace Orvid::Testing {
namespace {

using Compare::Engine::ChunkStarts;

TEST(ChunkStartsTest, TwoSearchesAtOnceAgreeOnTheFirstAnswer) {
    const ChunkStarts starts(3, 0, 100);
    EXPECT_EQ(starts.of(0, [] { return std::uint64_t{7}; }), 0u);
    EXPECT_EQ(starts.of(3, [] { return std::uint64_t{7}; }), 100u);
    EXPECT_FALSE(starts.known(1));

    // Both searches run before either answers; the later answer is the one that must not stand.
    std::mutex mutex;
    std::condition_variable changed;
    int searching = 0;
    bool firstAnswered = false;
    const auto search = [&](std::uint64_t answer, bool first) {
        return [&, answer, first] {
            std::unique_lock<std::mutex> lock(mutex);
            ++searching;
            changed.notify_all();
            changed.wait(lock, [&] { return searching == 2 && (first || firstAnswered); });
            return answer;
        };
    };
    std::uint64_t second = 0;
    std::thread other([&] { second = starts.of(1, search(40, false)); });
    const std::uint64_t first = starts.of(1, search(30, true));
    {
        const std::lock_guard<std::mutex> lock(mutex);
        firstAnswered = true;
    }
    changed.notify_all();
    other.join();
    EXPECT_EQ(first, 30u);
    EXPECT_EQ(second, 30u);
    EXPECT_EQ(starts.known(1), 30u);
}

} // namespace
} // namespace Orvid::Testing
