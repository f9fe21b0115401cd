#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace Orvid::Compare::Engine {

/// The XY rectangle that the points of an input cover, in coordinate units; empty while min > max.
struct PlanarExtent {
    double minX = 0.0;
    double minY = 0.0;
    double maxX = -1.0;
    double maxY = -1.0;
};

/// What the points of an input say that its headers should agree with, tallied as they are read.
struct PointTally {
    /// Lowest and highest finite z; none while `minZ > maxZ`.
    double minZ = HUGE_VAL;
    double maxZ = -HUGE_VAL;
    /// Points by return number, 0 to 15.
    std::array<std::uint64_t, 16> pointsByReturn{};
    /// Points whose return number is 0 or above their pulse's number of returns.
    std::uint64_t invalidReturnNumbers = 0;
    /// Lowest and highest GPS time that is a number, as stored (a time offset given for pairing taken
    /// off again); none while `lowestTime > highestTime`.
    double lowestTime = HUGE_VAL;
    double highestTime = -HUGE_VAL;

    /// Adds what `other` tallied over other points.
    void add(const PointTally& other) {
        minZ = std::min(minZ, other.minZ);
        maxZ = std::max(maxZ, other.maxZ);
        for (std::size_t number = 0; number < pointsByReturn.size(); ++number) {
            pointsByReturn[number] += other.pointsByReturn[number];
        }
        invalidReturnNumbers += other.invalidReturnNumbers;
        lowestTime = std::min(lowestTime, other.lowestTime);
        highestTime = std::max(highestTime, other.highestTime);
    }

    friend bool operator==(const PointTally& a, const PointTally& b) {
        return a.minZ == b.minZ && a.maxZ == b.maxZ && a.pointsByReturn == b.pointsByReturn &&
               a.invalidReturnNumbers == b.invalidReturnNumbers && a.lowestTime == b.lowestTime &&
               a.highestTime == b.highestTime;
    }
};

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
    /// Whether the input holds more than one point and all of them share one GPS time that is a
    /// number: their times cannot tell them apart.
    bool oneTime = false;
    /// Whether the points, NaN times left aside, follow each other in key order over all legs.
    bool inKeyOrder = true;
    /// Where the points lie, as read (finite coordinates only), whatever the headers say.
    PlanarExtent extent;
    PointTally tally;

    /// Whether adding the scanner channel to the key would make every key of the input unique.
    bool channelSeparatesDuplicates() const { return duplicateKeys != 0 && duplicatesOnSameChannel == 0; }
};

} // namespace Orvid::Compare::Engine
