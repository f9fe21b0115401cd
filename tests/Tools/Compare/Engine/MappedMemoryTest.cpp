// Memory mapped for the engine's large arrays: whole large pages from a large page on, every byte asked
// for writable, and moves that hand the mapping over.
#include "MappedMemory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <utility>

namespace Orvid::Testing {
namespace {

using Compare::Engine::MappedMemory;

constexpr std::size_t LARGE_PAGE = std::size_t{2} << 20;

TEST(MappedMemoryTest, MapsLargeArraysOnWholeLargePagesAndHandsThemOverOnMoves) {
    for (const std::size_t bytes : {std::size_t{1}, std::size_t{4096}, LARGE_PAGE - 1, LARGE_PAGE,
                                    LARGE_PAGE + 1, 5 * LARGE_PAGE + 12345}) {
        SCOPED_TRACE(testing::Message() << bytes << " bytes");
        MappedMemory memory(bytes);
        ASSERT_NE(memory.data(), nullptr);
        if (bytes >= LARGE_PAGE) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(memory.data()) % LARGE_PAGE, 0u);
        }
        // Every byte is there, the last one too; a mapping cut short would fault.
        std::memset(memory.data(), 0x5a, bytes);
        const auto* last = static_cast<const unsigned char*>(memory.data()) + bytes - 1;
        EXPECT_EQ(*last, 0x5a);

        MappedMemory moved(std::move(memory));
        EXPECT_EQ(memory.data(), nullptr);
        EXPECT_EQ(static_cast<const unsigned char*>(moved.data())[bytes - 1], 0x5a);
        MappedMemory assigned(LARGE_PAGE);
        assigned = std::move(moved);
        EXPECT_EQ(moved.data(), nullptr);
        EXPECT_EQ(static_cast<const unsigned char*>(assigned.data())[0], 0x5a);
    }
}

} // namespace
} // namespace Orvid::Testing
