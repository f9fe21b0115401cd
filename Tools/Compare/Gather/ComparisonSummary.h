#pragma once

#include "Gather/DifferenceClass.h"
#include "Gather/DifferenceMap.h"
#include "Gather/DisplacementHistogram.h"

#include <FileIoInterface/Readers/PointCloud/Comparator.h>

#include <array>
#include <cstdint>
#include <map>
#include <optional>

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
    /// Per compared point attribute, the pairs that differ in it (from the comparator's report).
    std::optional<std::array<std::uint64_t, 11>> attributeDifferences;
    DisplacementStatistics displacement;
    /// Counts per point source id (flight line) of each class.
    std::map<std::uint16_t, ClassCounts> byFlightLine;
};

/// Gathers the summary in one pass over the comparator's result sets. When `map` is given, also bins
/// into it the positions of the removed, added, mutated and altered points; those of the modified
/// points are gone by then (the comparator keeps their displacements), so they are binned while the
/// comparator writes them (see BinningWriter).
ComparisonSummary summarize(const FileIoInterface::Readers::PointCloud::Comparator& comparator,
                            DifferenceMap* map = nullptr);

} // namespace Orvid::Compare
