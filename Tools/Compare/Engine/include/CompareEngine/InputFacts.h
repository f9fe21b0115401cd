#pragma once

#include <cstdint>

namespace Orvid::Compare::Engine {

/// The XY rectangle that the points of an input cover, in coordinate units; empty while min > max.
struct PlanarExtent {
    double minX = 0.0;
    double minY = 0.0;
    double maxX = -1.0;
    double maxY = -1.0;
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
    /// Whether the points, NaN times left aside, follow each other in key order over all legs.
    bool inKeyOrder = true;
    /// Where the points lie, as read (finite coordinates only), whatever the headers say.
    PlanarExtent extent;

    /// Whether adding the scanner channel to the key would make every key of the input unique.
    bool channelSeparatesDuplicates() const { return duplicateKeys != 0 && duplicatesOnSameChannel == 0; }
};

} // namespace Orvid::Compare::Engine
