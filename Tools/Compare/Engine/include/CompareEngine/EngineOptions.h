#pragma once

#include <CompareEngine/ComparedAttribute.h>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace Orvid::Compare::Engine {

/// How a comparison runs. Matches the parameters of the library's comparator where they overlap.
struct EngineOptions {
    /// Largest difference per axis, in the files' coordinate units, at which two positions still
    /// agree; a difference equal to it agrees, a NaN one never does.
    double epsilon = 0.01;
    /// Per-axis epsilons, in the same units and sense; absent, `epsilon` applies.
    std::optional<double> epsilonXY;
    std::optional<double> epsilonZ;
    /// Largest difference per colour channel at which two colours are still equal.
    std::uint16_t rgbEpsilon = 0;
    /// Compare paired points on the point attributes of `COMPARED_ATTRIBUTES` (mutated points).
    bool comparePointAttributes = true;
    /// Compare paired points on their extra-bytes values (altered points).
    bool compareExtraAttributes = true;
    /// Per point attribute, the largest difference at which two values still agree, in the
    /// attribute's own units (scan angle in degrees); 0 compares exactly, a NaN never agrees. The
    /// colour's entry is unused: `rgbEpsilon` applies.
    std::array<double, COMPARED_ATTRIBUTE_COUNT> tolerances{};
    /// Point attributes left out of the comparison: they never make a pair mutated.
    AttributeMask ignored = 0;
    /// Per extra attribute name, the largest difference at which two values still agree, in the
    /// attribute's scaled units; absent names compare exactly.
    std::map<std::string, double> extraTolerances;
    /// Extra attributes left out of the comparison, by name.
    std::set<std::string> ignoredExtras;
    /// Whether floating-point extra values with identical bits are equal, NaNs included; false
    /// compares as the library's comparator does (same type and equal value: a NaN equals nothing).
    bool identicalBitsEqual = true;
    /// Seconds added to every GPS time of the test input before pairing (a change of time standard
    /// or a clock offset); pairing stays exact on the shifted times.
    double timeOffset = 0.0;
    /// Pair by position alone: every key's time is taken as 0, so that points pair by return number
    /// (and channel) and coordinates within the epsilons, through the candidate grid. For inputs
    /// without GPS time. Without it, the comparison still pairs by position when every point of an
    /// input shares one GPS time, in each input (see `ComparisonOutcome::pairedByPosition`).
    bool pairByPosition = false;
    /// Add the scanner channel (point formats 6 to 10; 0 in older formats) to the pairing key.
    bool pairByChannel = false;
    /// Threads that decode LAZ inputs, index and compare, at most; 0 means one per CPU this process may
    /// run on (`Utils::usableCpuCount`).
    unsigned threads = 0;
    /// Bytes the whole comparison may hold; 0 means `defaultMemoryBudget()`. Records are read from
    /// the page cache and do not count, but for those of LAZ legs decoded into memory: up to half of
    /// the budget, the rest going to the temporary folder (`planLazDecoding`). About 8 MiB and 8 MiB per
    /// thread go to working memory; the rest, and at least a third of the budget (at least 64 KiB), bounds
    /// the key index (16 bytes per point of an input not in key order). An index that does not fit makes the
    /// comparison run in several GPS-time windows, each re-reading the inputs' keys. A window never splits
    /// one GPS time (nor the NaN times of one return number), so points that share a single time beyond the
    /// budget are indexed together, over it.
    std::uint64_t memoryBudget = 0;
};

/// The machine's physical memory in bytes; absent when it cannot be told.
std::optional<std::uint64_t> physicalMemory();

/// A quarter of the machine's physical memory.
std::uint64_t defaultMemoryBudget();

} // namespace Orvid::Compare::Engine
