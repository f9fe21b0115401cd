#pragma once

#include "Gather/ComparisonSummary.h"
#include "Gather/DifferenceMap.h"

#include <CompareEngine/TimeOffsetEstimate.h>
#include <Metadata/MetadataReport.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace Orvid::Compare {

/// What was seen of an input while it was compared.
struct InputScan {
    std::uint64_t points = 0;
    std::uint64_t legs = 0;
    /// Points whose GPS time is NaN: they pair only with each other.
    std::uint64_t nanTimes = 0;
    /// Points whose key an earlier point of the same input already had.
    std::uint64_t duplicateKeys = 0;
    /// Whether its points came in key order (GPS time, return number), NaN times aside.
    bool inKeyOrder = true;
    /// Points per point source id (flight line).
    std::map<std::uint16_t, std::uint64_t> pointsBySourceId;
};

/// One input of the comparison: where it came from and what was read of it.
struct InputDescription {
    /// As given on the command line.
    std::filesystem::path path;
    /// Its LAS files, one per leg, in leg order.
    std::vector<std::filesystem::path> files;
    /// "LAS <version>, point format <n>" of each distinct kind of file.
    std::set<std::string> formats;
    /// Points the headers announce.
    std::uint64_t announcedPoints = 0;
    /// The largest scale factor per axis over its files.
    std::array<double, 3> coarsestScale{};
    /// The time standard its headers declare: "adjusted standard GPS time", "GPS week time", or
    /// "mixed" when its files disagree.
    std::string timeStandard;
    /// Whether some file's point format holds no GPS time (0 and 2).
    bool withoutGpsTime = false;
    /// Whether some file stores the scan angle in whole degrees (point formats 0 to 5).
    bool wholeDegreeScanAngles = false;
    InputScan scan;
};

/// The plan of a comparison run in shards.
struct ShardedRun {
    std::string planId;
    std::size_t shards = 0;
};

/// The parameters the comparison ran with.
struct RunParameters {
    double epsilon = 0.0;
    /// The epsilons applied across (x, y) and along z; `epsilon` unless given apart.
    double epsilonXY = 0.0;
    double epsilonZ = 0.0;
    /// Whether epsilon was derived from the inputs' scale factors.
    bool epsilonFromScale = false;
    /// Whether an epsilon was given as 0 (exact): it then holds a thousandth of the finest scale factor.
    bool epsilonExact = false;
    std::uint16_t rgbEpsilon = 0;
    bool pointAttributes = true;
    bool extraAttributes = true;
    /// Every tolerance used, by attribute name (point attributes, then extra attributes and
    /// `gpsTime`), with its value in the attribute's units.
    std::vector<std::pair<std::string, double>> tolerances;
    /// Attributes left out of the comparison, by name, in the order given.
    std::vector<std::string> ignored;
    /// Seconds added to the test times before pairing.
    double timeOffset = 0.0;
    /// The memory budget of the comparison, in bytes, and the threads it ran on.
    std::uint64_t memory = 0;
    /// Bytes of decoded LAZ records that the comparison kept in the temporary folder (0 in the merged
    /// report of a run in shards).
    std::uint64_t temporaryBytes = 0;
    unsigned threads = 0;
    /// Whether the scanner channel was part of the pairing key.
    bool pairByChannel = false;
    /// Whether points were paired by position alone (return number and coordinates within the
    /// epsilons) rather than by GPS time, and why: their times could not tell them apart.
    bool pairedByPosition = false;
    std::string pairedByPositionBecause;
    /// Whether warnings about the inputs are errors.
    bool strict = false;
    /// GPS-time windows the comparison ran in (1 when its key index fitted the budget).
    std::size_t windows = 1;
    DifferenceClasses failOn;
    Metadata::MetadataFailOn metadataFailOn = Metadata::MetadataFailOn::crs;
    /// Metadata fields and kinds left out of the comparison, in the order given.
    std::vector<std::string> ignoredMetadata;
    /// Absent for a comparison run at once.
    std::optional<ShardedRun> sharded;
};

/// Everything a report of one comparison says.
struct ComparisonReport {
    InputDescription reference;
    InputDescription test;
    RunParameters parameters;
    ComparisonSummary summary;
    /// How the inputs' headers, records and coordinate systems differ.
    Metadata::MetadataReport metadata;
    /// Where the points lie, when a map was asked for and the inputs' headers give an extent.
    std::optional<DifferenceMap> map;
    /// Found when few points paired although the clouds overlap.
    std::optional<Engine::TimeOffsetEstimate> suggestedTimeOffset;
    /// Things that make the result less certain, such as ambiguous keys.
    std::vector<std::string> warnings;
    /// 0 when nothing that --fail-on names differs, 1 when something does, 2 when --strict found a
    /// warning about an input only once the points were read.
    int exitStatus = 0;
    /// Whether something that --fail-on names differs.
    bool different = false;
};

/// One flight line (point source id) of either input: its points and the differences in it.
struct FlightLineRow {
    std::uint16_t sourceId = 0;
    std::uint64_t referencePoints = 0;
    std::uint64_t testPoints = 0;
    ClassCounts counts;
};

/// Every flight line of either input or of the differences, by source id.
std::vector<FlightLineRow> flightLineRows(const ComparisonReport& report);

/// What the reports say first about the inputs' GPS times, one sentence each: time standards that
/// differ, and a constant offset that the run found with the option that applies it; or, when points
/// were paired by position, that they were and why.
std::vector<std::string> timeNotes(const ComparisonReport& report);

/// `value` with as many digits as it takes to read back the same double.
std::string exactNumber(double value);

/// Whether any class that `failOn` names has points.
bool differs(const ClassCounts& counts, const DifferenceClasses& failOn);

} // namespace Orvid::Compare
