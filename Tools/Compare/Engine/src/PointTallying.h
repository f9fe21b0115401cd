#pragma once

#include <CompareEngine/InputFacts.h>

#include <FileIoInterface/Las/PointRecords.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

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

} // namespace Orvid::Compare::Engine
