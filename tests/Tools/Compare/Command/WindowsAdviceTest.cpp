// The warning of a comparison run in more GPS-time windows than its inputs need.
#include "Command/WindowsAdvice.h"

#include <gtest/gtest.h>

namespace Orvid::Compare {
namespace {

constexpr std::uint64_t MIB = std::uint64_t{1} << 20;

Engine::ComparisonOutcome ranIn(std::size_t windows, std::size_t leastWindows, std::uint64_t leastBudget) {
    Engine::ComparisonOutcome outcome;
    outcome.windows = windows;
    outcome.leastWindows = leastWindows;
    outcome.leastWindowsBudget = leastBudget;
    return outcome;
}

TEST(WindowsAdvice, NamesTheWindowsAndTheBudgetOfTheFewestRoundedUpToAMebibyte) {
    EXPECT_EQ(extraWindowsWarning(16 * MIB, ranIn(20, 1, 340 * MIB + 1)),
              "the key index did not fit --memory 16M: the comparison ran in 20 GPS-time windows, each "
              "reading the indexed inputs again; --memory 341M would run it in 1");
    EXPECT_EQ(extraWindowsWarning(24 * MIB, ranIn(3, 2, 40 * MIB)),
              "the key index did not fit --memory 24M: the comparison ran in 3 GPS-time windows, each "
              "reading the indexed inputs again; --memory 40M would run it in 2");
}

TEST(WindowsAdvice, SaysNothingOfARunInTheFewestWindows) {
    EXPECT_EQ(extraWindowsWarning(16 * MIB, ranIn(2, 2, 40 * MIB)), std::nullopt);
    EXPECT_EQ(extraWindowsWarning(16 * MIB, ranIn(1, 1, 0)), std::nullopt);
}

} // namespace
} // namespace Orvid::Compare
