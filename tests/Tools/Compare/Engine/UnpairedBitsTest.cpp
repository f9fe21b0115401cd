// Unpaired positions, a bit each, answer the first free position from any position on, and before any
// end, as a list of flags would, across the edges of their 64-bit words.
#include "UnpairedBits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace Orvid::Testing {
namespace {

using Compare::Engine::UnpairedBits;

TEST(UnpairedBitsTest, FindsTheFirstFreePositionAsAListOfFlagsWould) {
    std::mt19937_64 random(3);
    for (const std::size_t count : {0u, 1u, 63u, 64u, 65u, 200u}) {
        SCOPED_TRACE(testing::Message() << count << " positions");
        UnpairedBits bits;
        bits.reset(count);
        std::vector<bool> free(count, true);
        // Take every position in a random order, checking every search after each.
        std::vector<std::size_t> order(count);
        for (std::size_t position = 0; position < count; ++position) {
            order[position] = position;
        }
        std::shuffle(order.begin(), order.end(), random);
        for (std::size_t taken = 0; taken <= count; ++taken) {
            for (std::size_t from = 0; from <= count; ++from) {
                std::size_t expected = from;
                while (expected < count && !free[expected]) {
                    ++expected;
                }
                ASSERT_EQ(bits.freeFrom(from), expected) << "from " << from;
                for (const std::size_t end : {from, from + 1, from + 63, from + 64, count}) {
                    if (end < from || end > count) {
                        continue;
                    }
                    ASSERT_EQ(bits.freeBetween(from, end), std::min(expected, end)) << from << " to " << end;
                }
                if (from < count) {
                    ASSERT_EQ(bits.isFree(from), free[from]);
                }
            }
            if (taken < count) {
                bits.take(order[taken]);
                free[order[taken]] = false;
            }
        }
    }
}

} // namespace
} // namespace Orvid::Testing
