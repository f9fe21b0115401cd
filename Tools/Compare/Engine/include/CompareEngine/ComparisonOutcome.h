#pragma once

#include <CompareEngine/ComparedAttribute.h>
#include <CompareEngine/Decision.h>

#include <array>
#include <cstddef>
#include <cstdint>

namespace Orvid::Compare::Engine {

/// What the engine found out about one input while reading it.
struct InputFacts {
    std::uint64_t points = 0;
    /// Points whose GPS time is NaN. They pair only with each other (see `CompareEngine`).
    std::uint64_t nanTimes = 0;
    /// Points that share their key with an earlier point of the same input.
    std::uint64_t duplicateKeys = 0;
    /// Of those, the points that share their scanner channel too: the ones that pairing by channel
    /// would not tell apart. Equal to `duplicateKeys` when pairing by channel already.
    std::uint64_t duplicatesOnSameChannel = 0;
    /// Whether the points, NaN times left aside, follow each other in key order over all legs.
    bool inKeyOrder = true;

    /// Whether adding the scanner channel to the key would make every key of the input unique.
    bool channelSeparatesDuplicates() const { return duplicateKeys != 0 && duplicatesOnSameChannel == 0; }
};

/// The totals of one comparison.
struct ComparisonOutcome {
    /// Decided points per class, indexed by `PointClass`.
    std::array<std::uint64_t, POINT_CLASS_COUNT> classCounts{};
    /// Per attribute, the mutated pairs that differ in it (zero unless point attributes are compared).
    AttributeCounters differenceCounts;
    InputFacts reference;
    InputFacts test;
    /// Time windows the comparison ran in (1 when the key index fitted the budget), NaN windows
    /// included.
    std::size_t windows = 0;

    std::uint64_t count(PointClass pointClass) const {
        return classCounts[static_cast<std::size_t>(pointClass)];
    }
    /// Whether some points had a NaN time, so that they were paired only with each other: the library's
    /// comparator may pair them otherwise.
    bool hasNanTimes() const { return reference.nanTimes + test.nanTimes != 0; }
};

} // namespace Orvid::Compare::Engine
