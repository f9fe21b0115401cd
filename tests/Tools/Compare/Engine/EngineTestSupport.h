#pragma once

#include <CompareEngine/CompareEngine.h>

#include <FileIoInterface/InputOutputPoint.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace Orvid::Testing {

/// The five result sets of a comparison as sorted lists of point descriptions (every attribute and
/// extra value, doubles exactly), and the attribute counters.
struct ResultSets {
    /// removed, added, modified (with displaced coordinates), mutated, altered.
    std::array<std::vector<std::string>, 5> sets;
    Compare::Engine::AttributeCounts counters{};
    /// Times the engine told its sink to start again.
    unsigned restarts = 0;
};

/// The (name, count) lines of the library comparator's statistics report, in its order.
std::vector<std::pair<std::string, std::uint64_t>> statisticsOf(const std::string& report);

/// Everything that tells one point from another, doubles in hexadecimal.
std::string describe(const FileIoInterface::InputOutputPoint& point);

/// The library comparator's answer for two lists of LAS legs.
ResultSets libraryResults(const std::vector<std::filesystem::path>& reference,
                          const std::vector<std::filesystem::path>& test,
                          const Compare::Engine::EngineOptions& options);

/// The engine's answer; `outcome` receives its totals. Checks on the way that every decision is
/// complete and that the totals add up. With `restartable`, inputs in key order may be compared in
/// one pass.
ResultSets engineResults(const std::vector<std::filesystem::path>& reference,
                         const std::vector<std::filesystem::path>& test,
                         const Compare::Engine::EngineOptions& options,
                         Compare::Engine::ComparisonOutcome* outcome = nullptr, bool restartable = true);

} // namespace Orvid::Testing
