#pragma once

#include "Gather/DifferenceClass.h"
#include "Gather/DifferenceMap.h"
#include "Gather/DisplacementHistogram.h"

#include <CompareEngine/ComparedAttribute.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace Orvid::Compare {

/// Mean, root mean square and largest absolute value of a series.
struct SeriesStatistics {
    double mean = 0.0;
    double rms = 0.0;
    double maxAbs = 0.0;
};

/// Statistics of the displacements of the modified points.
struct DisplacementStatistics {
    std::uint64_t count = 0;
    /// Of |d| = sqrt(dx² + dy² + dz²).
    SeriesStatistics magnitude;
    SeriesStatistics dx;
    SeriesStatistics dy;
    SeriesStatistics dz;
    /// Of |d|.
    DisplacementHistogram histogram;
};

/// What a comparison found, gathered in one pass over its result sets.
struct ComparisonSummary {
    ClassCounts counts;
    /// Per compared point attribute (in the engine's order), the mutated pairs that differ in it;
    /// absent when point attributes were not compared.
    std::optional<Engine::AttributeCounts> attributeDifferences;
    /// Per extra attribute, by name in record order, the pairs whose values of it differ; empty when
    /// extra attributes were not compared.
    std::vector<std::pair<std::string, std::uint64_t>> extraDifferences;
    /// Mutated pairs whose classification differs, by (reference class, test class).
    std::map<std::pair<std::uint8_t, std::uint8_t>, std::uint64_t> classTransitions;
    DisplacementStatistics displacement;
    /// Counts per point source id (flight line) of each class.
    std::map<std::uint16_t, ClassCounts> byFlightLine;
};

} // namespace Orvid::Compare
