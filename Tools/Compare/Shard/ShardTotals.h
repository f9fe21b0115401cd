#pragma once

#include "Gather/ComparisonReport.h"
#include "Gather/DifferenceMap.h"
#include "Gather/DisplacementHistogram.h"
#include "Gather/RunGatherer.h"

#include <CompareEngine/ComparisonOutcome.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace Orvid::Compare {

/// What every shard sees of a whole input, the same in each.
struct WholeInput {
    std::uint64_t points = 0;
    std::uint64_t nanTimes = 0;
    bool inKeyOrder = true;
    /// Its z range, its returns and its time range, as its headers should state them.
    Engine::PointTally tally;

    friend bool operator==(const WholeInput& a, const WholeInput& b) {
        return a.points == b.points && a.nanTimes == b.nanTimes && a.inKeyOrder == b.inKeyOrder &&
               a.tally == b.tally;
    }
};

/// What one shard's comparison found of one input.
struct ShardInputTotals {
    /// Of the whole input; absent in totals of no shard yet.
    std::optional<WholeInput> whole;
    /// In the shard's windows.
    std::uint64_t duplicateKeys = 0;
    std::uint64_t duplicatesOnSameChannel = 0;
    std::map<std::uint16_t, std::uint64_t> pointsBySourceId;
};

/// What a comparison gathers, in a form that adds up over shards: counts, sums, bins, maxima; no mean.
/// A field added here is added to `operator+=` (ShardTotals.cpp) and to the shard report's reading and
/// writing (ShardReport.cpp), each of which lists every field.
struct ShardTotals {
    ClassCounts counts;
    /// Per compared point attribute, the mutated pairs that differ in it (zero when not compared).
    Engine::AttributeCounters attributeDifferences;
    /// Per extra attribute, by name in record order, the pairs whose values of it differ.
    std::vector<std::pair<std::string, std::uint64_t>> extraDifferences;
    /// Mutated pairs whose classification differs, by (reference class, test class).
    std::map<std::pair<std::uint8_t, std::uint8_t>, std::uint64_t> classTransitions;
    /// Of the modified points' displacements: |d|, dx, dy, dz.
    std::array<RunGatherer::Series, 4> displacement;
    DisplacementHistogram histogram;
    std::map<std::uint16_t, ClassCounts> byFlightLine;
    /// Reference (0) and test (1).
    std::array<ShardInputTotals, 2> inputs;
    /// Where the points lie, framed by the extent of the points read, when they have one.
    std::optional<DifferenceMap> map;
    /// Points that the class files could not hold.
    std::uint64_t unwritten = 0;
    /// GPS-time windows the comparison ran in.
    std::size_t windows = 0;

    /// Adds `other`'s totals: the sums of both comparisons, as one comparison of both parts would have
    /// them. Throws std::invalid_argument when they saw different inputs or their maps differ in extent.
    ShardTotals& operator+=(const ShardTotals& other);
};

/// The totals of one comparison from what `gatherer` gathered and the engine's `outcome`; `map` is moved
/// in.
ShardTotals totalsOf(const RunGatherer& gatherer, const Engine::ComparisonOutcome& outcome,
                     std::optional<DifferenceMap> map, std::uint64_t unwritten);

/// What the engine found of input `side` (0 reference, 1 test) over all shards added into `totals`.
Engine::InputFacts factsOf(const ShardTotals& totals, std::size_t side);

/// The summary that one comparison with these totals gives (attribute counts only with
/// `pointAttributes`).
ComparisonSummary summaryOf(const ShardTotals& totals, bool pointAttributes);

} // namespace Orvid::Compare
