#pragma once

#include <cstdint>
#include <optional>

namespace Orvid::Compare::Engine {

/// How a comparison runs. Matches the parameters of the library's comparator where they overlap.
struct EngineOptions {
    /// Largest difference per axis, in the files' coordinate units, at which two positions still
    /// agree; a difference equal to it agrees, a NaN one never does.
    double epsilon = 0.01;
    /// Largest difference per colour channel at which two colours are still equal.
    std::uint16_t rgbEpsilon = 0;
    /// Compare paired points on the eleven point attributes (mutated points).
    bool comparePointAttributes = true;
    /// Compare paired points on their extra-bytes values (altered points).
    bool compareExtraAttributes = true;
    /// Add the scanner channel (point formats 6 to 10; 0 in older formats) to the pairing key.
    bool pairByChannel = false;
    /// Threads that index and compare; 0 means one per core.
    unsigned threads = 0;
    /// Bytes the whole comparison may hold; 0 means `defaultMemoryBudget()`. Records are read from
    /// the page cache and do not count. About 8 MiB and 8 MiB per thread go to working memory; the
    /// rest bounds the key index (16 bytes per point of an input not in key order), and at least
    /// 64 KiB is always left to it. An index that does not fit makes the comparison run in several
    /// GPS-time windows, each re-reading the inputs' keys. A window never splits one GPS time (nor
    /// the NaN times of one return number), so points that share a single time beyond the budget are
    /// indexed together, over it.
    std::uint64_t memoryBudget = 0;
};

/// The machine's physical memory in bytes; absent when it cannot be told.
std::optional<std::uint64_t> physicalMemory();

/// A quarter of the machine's physical memory.
std::uint64_t defaultMemoryBudget();

} // namespace Orvid::Compare::Engine
