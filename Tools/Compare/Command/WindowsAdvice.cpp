#include "Command/WindowsAdvice.h"

namespace Orvid::Compare {

std::optional<std::string> extraWindowsWarning(std::uint64_t memory,
                                               const Engine::ComparisonOutcome& outcome) {
    if (outcome.windows <= outcome.leastWindows) {
        return std::nullopt;
    }
    constexpr std::uint64_t MIB = std::uint64_t{1} << 20;
    const std::uint64_t enough = (outcome.leastWindowsBudget + MIB - 1) / MIB;
    return "the key index did not fit --memory " + std::to_string(memory / MIB) +
           "M: the comparison ran in " + std::to_string(outcome.windows) +
           " GPS-time windows, each reading the indexed inputs again; --memory " + std::to_string(enough) +
           "M would run it in " + std::to_string(outcome.leastWindows);
}

} // namespace Orvid::Compare
