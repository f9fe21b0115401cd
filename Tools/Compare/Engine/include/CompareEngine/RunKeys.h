#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Orvid::Compare::Engine {

/// Secondary words a key may have (return number and scanner channel).
constexpr std::size_t KEY_SECONDARY_WORDS = 64;

/// The records of a run whose time is NaN and whose key has one secondary word.
struct NanTimeCount {
    std::uint64_t secondary = 0;
    std::uint64_t records = 0;
};

/// What the keys of a run of records tell, tallied while the run is written (see `partitionShare`), so
/// that a comparison of runs learns it without reading every key again. Keys as the comparison makes
/// them: a primary word for the GPS time, a secondary word for the return number and channel.
struct RunKeys {
    /// All records of the run.
    std::uint64_t records = 0;
    /// Records whose time is NaN, per secondary word that has any, ascending: runs are many (shards x
    /// legs per partition), NaN times rare.
    std::vector<NanTimeCount> nanTimes;
    /// Whether the records, NaN times left aside, follow each other in key order.
    bool inKeyOrder = true;
    /// Whether some record's time is a number: the words below are meaningful then.
    bool hasKey = false;
    std::uint64_t firstPrimary = 0;
    std::uint64_t firstSecondary = 0;
    std::uint64_t lastPrimary = 0;
    std::uint64_t lastSecondary = 0;
    std::uint64_t lowestPrimary = 0;
    std::uint64_t highestPrimary = 0;
};

} // namespace Orvid::Compare::Engine
