#pragma once

#include <CompareEngine/ComparedAttribute.h>
#include <CompareEngine/Decision.h>
#include <CompareEngine/InputFacts.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace Orvid::Compare::Engine {

/// The totals of one comparison.
struct ComparisonOutcome {
    /// Decided points per class, indexed by `PointClass`.
    std::array<std::uint64_t, POINT_CLASS_COUNT> classCounts{};
    /// Per attribute, the mutated pairs that differ in it (zero unless point attributes are compared).
    AttributeCounters differenceCounts;
    /// Per extra attribute, by name in record order, the pairs (mutated or altered) whose values of it
    /// differ; empty unless extra attributes are compared and the inputs have some.
    std::vector<std::pair<std::string, std::uint64_t>> extraDifferenceCounts;
    InputFacts reference;
    InputFacts test;
    /// Time windows the comparison ran in (1 when the key index fitted the budget), NaN windows
    /// included.
    std::size_t windows = 0;
    /// The windows that any budget would give: one for the times and one for the NaN times, those
    /// that the inputs have.
    std::size_t leastWindows = 0;
    /// The least `EngineOptions::memoryBudget`, in bytes, under which the comparison runs in
    /// `leastWindows`.
    std::uint64_t leastWindowsBudget = 0;
    /// Bytes of decoded LAZ records that the comparison kept in the temporary folder, beyond what its
    /// budget held in memory (`LazDecodingPlan`).
    std::uint64_t temporaryBytes = 0;
    /// Whether points were paired by position alone, every time taken as one: as asked
    /// (`EngineOptions::pairByPosition`), or because each input's points share one GPS time
    /// (`InputFacts::oneTime` of both), so that their times cannot tell points apart.
    bool pairedByPosition = false;

    std::uint64_t count(PointClass pointClass) const {
        return classCounts[static_cast<std::size_t>(pointClass)];
    }
    /// Whether some points had a NaN time, so that they were paired only with each other: the library's
    /// comparator may pair them otherwise.
    bool hasNanTimes() const { return reference.nanTimes + test.nanTimes != 0; }
};

} // namespace Orvid::Compare::Engine
