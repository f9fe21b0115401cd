#pragma once

#include "KeyEncoding.h"

#include <CompareEngine/InputFacts.h>
#include <CompareEngine/RunKeys.h>

#include <FileIoInterface/Las/PointRecords.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>

// What a pass over records tallies of each, shared by the scan of an input and that of its shares.
namespace Orvid::Compare::Engine {

/// An extent that grows from nothing with `include`.
constexpr PlanarExtent GROWING_EXTENT{HUGE_VAL, HUGE_VAL, -HUGE_VAL, -HUGE_VAL};

/// Tallies the record at `record` in `tally`.
inline void addToTally(PointTally& tally, const FileIoInterface::Las::PointRecords& records,
                       const std::uint8_t* record) {
    const double z = records.zAt(record);
    if (std::isfinite(z)) {
        tally.minZ = std::min(tally.minZ, z);
        tally.maxZ = std::max(tally.maxZ, z);
    }
    const std::uint8_t number = records.returnNumberAt(record);
    ++tally.pointsByReturn[number];
    if (number == 0 || number > records.numberOfReturnsAt(record)) {
        ++tally.invalidReturnNumbers;
    }
}

/// Whether `points` points, `nanTimes` of them with NaN times, all share one GPS time as `tally` saw
/// them: times that cannot tell points apart.
inline bool shareOneTime(std::uint64_t points, std::uint64_t nanTimes, const PointTally& tally) {
    return points > 1 && nanTimes == 0 && tally.lowestTime == tally.highestTime;
}

/// What the keys of records read in order tell: the NaN times, whether the other keys follow each other
/// in key order, the first and the last of them, and their lowest and highest primary word.
struct KeyTally {
    std::uint64_t nanTimes = 0;
    bool inKeyOrder = true;
    bool hasKey = false;
    Key first;
    Key last;
    std::uint64_t lowest = NAN_PRIMARY;
    std::uint64_t highest = 0;

    /// Tallies the next key; false for a NaN time, which stands outside the order.
    bool add(const Key& key) {
        if (key.primary == NAN_PRIMARY) {
            ++nanTimes;
            return false;
        }
        if (!hasKey) {
            hasKey = true;
            first = key;
        } else if (key < last) {
            inKeyOrder = false;
        }
        last = key;
        lowest = std::min(lowest, key.primary);
        highest = std::max(highest, key.primary);
        return true;
    }

    /// Adds `next`, the tally of the keys read after these.
    void append(const KeyTally& next) {
        nanTimes += next.nanTimes;
        inKeyOrder = inKeyOrder && next.inKeyOrder && !(hasKey && next.hasKey && next.first < last);
        if (next.hasKey) {
            first = hasKey ? first : next.first;
            hasKey = true;
            last = next.last;
        }
        lowest = std::min(lowest, next.lowest);
        highest = std::max(highest, next.highest);
    }
};

static_assert(KEY_SECONDARY_WORDS == SECONDARY_COUNT);

/// A key tally that counts the records and the NaN times per secondary word too: what a scan of keys
/// learns, and what a run's keys (`RunKeys`) hold.
struct SecondaryKeyTally {
    std::uint64_t records = 0;
    KeyTally keys;
    std::array<std::uint64_t, SECONDARY_COUNT> nanBySecondary{};

    /// Tallies the next key; false for a NaN time.
    bool add(const Key& key) {
        ++records;
        if (keys.add(key)) {
            return true;
        }
        ++nanBySecondary[static_cast<std::size_t>(key.secondary)];
        return false;
    }

    /// Adds `next`, the tally of the keys read after these.
    void append(const SecondaryKeyTally& next) {
        records += next.records;
        keys.append(next.keys);
        for (std::size_t secondary = 0; secondary < SECONDARY_COUNT; ++secondary) {
            nanBySecondary[secondary] += next.nanBySecondary[secondary];
        }
    }

    RunKeys runKeys() const {
        RunKeys run{records,
                    {},
                    keys.inKeyOrder,
                    keys.hasKey,
                    keys.first.primary,
                    keys.first.secondary,
                    keys.last.primary,
                    keys.last.secondary,
                    keys.lowest,
                    keys.highest};
        for (std::size_t secondary = 0; secondary < SECONDARY_COUNT; ++secondary) {
            if (nanBySecondary[secondary] != 0) {
                run.nanTimes.push_back({secondary, nanBySecondary[secondary]});
            }
        }
        return run;
    }

    /// The tally that `run` tells. Throws std::invalid_argument for a secondary word out of range.
    static SecondaryKeyTally of(const RunKeys& run) {
        SecondaryKeyTally tally;
        tally.records = run.records;
        for (const NanTimeCount& count : run.nanTimes) {
            if (count.secondary >= SECONDARY_COUNT) {
                throw std::invalid_argument("a run's keys name the secondary word " +
                                            std::to_string(count.secondary) + ", beyond the last");
            }
            tally.nanBySecondary[static_cast<std::size_t>(count.secondary)] += count.records;
            tally.keys.nanTimes += count.records;
        }
        tally.keys.inKeyOrder = run.inKeyOrder;
        tally.keys.hasKey = run.hasKey;
        if (run.hasKey) {
            tally.keys.first = {run.firstPrimary, run.firstSecondary};
            tally.keys.last = {run.lastPrimary, run.lastSecondary};
            tally.keys.lowest = run.lowestPrimary;
            tally.keys.highest = run.highestPrimary;
        }
        return tally;
    }
};

/// Grows `extent` over the position of the record at `record`.
inline void include(PlanarExtent& extent, const FileIoInterface::Las::PointRecords& records,
                    const std::uint8_t* record) {
    const auto [x, y] = records.xyAt(record);
    if (std::isfinite(x) && std::isfinite(y)) {
        extent.minX = std::min(extent.minX, x);
        extent.minY = std::min(extent.minY, y);
        extent.maxX = std::max(extent.maxX, x);
        extent.maxY = std::max(extent.maxY, y);
    }
}

/// Grows `extent` (empty while min > max) over `part`, when `part` is not empty.
inline void include(PlanarExtent& extent, const PlanarExtent& part) {
    if (part.minX <= part.maxX) {
        const bool first = !(extent.minX <= extent.maxX);
        extent.minX = first ? part.minX : std::min(extent.minX, part.minX);
        extent.minY = first ? part.minY : std::min(extent.minY, part.minY);
        extent.maxX = first ? part.maxX : std::max(extent.maxX, part.maxX);
        extent.maxY = first ? part.maxY : std::max(extent.maxY, part.maxY);
    }
}

/// What a pass over some records tallies of their points: their extent and their point tally.
struct RecordTally {
    PlanarExtent extent = GROWING_EXTENT;
    PointTally tally;

    /// Tallies the record at `record` of `records`.
    void add(const FileIoInterface::Las::PointRecords& records, const std::uint8_t* record) {
        include(extent, records, record);
        addToTally(tally, records, record);
    }

    /// Adds what `other` tallied of other records.
    void add(const RecordTally& other) {
        include(extent, other.extent);
        tally.add(other.tally);
    }
};

/// What a stream of records in key order tallies of them: their points, and the lowest and highest
/// primary word of their keys.
struct StreamTally {
    RecordTally points;
    std::uint64_t lowest = NAN_PRIMARY;
    std::uint64_t highest = 0;

    /// Tallies the record at `record` of `records`, whose key has the primary word `primary`.
    void add(std::uint64_t primary, const FileIoInterface::Las::PointRecords& records,
             const std::uint8_t* record) {
        points.add(records, record);
        lowest = std::min(lowest, primary);
        highest = std::max(highest, primary);
    }

    /// Adds what `other` tallied of other records.
    void add(const StreamTally& other) {
        points.add(other.points);
        lowest = std::min(lowest, other.lowest);
        highest = std::max(highest, other.highest);
    }
};

} // namespace Orvid::Compare::Engine
