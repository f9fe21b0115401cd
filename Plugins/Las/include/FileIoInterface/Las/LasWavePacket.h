#pragma once

#include <cstdint>

namespace Orvid::FileIoInterface::Las {

/// The waveform reference of a point of formats 4, 5, 9 and 10, as the file stores it. The plug-in
/// carries it unchanged; it does not read the waveform samples it points to.
struct LasWavePacket {
    /// 0: no waveform; otherwise the waveform packet descriptor record's id minus 99.
    std::uint8_t descriptorIndex = 0;
    /// Byte offset of the samples in the waveform data record or its sidecar file.
    std::uint64_t dataOffset = 0;
    /// Size of the samples in bytes.
    std::uint32_t size = 0;
    /// Position of the return in the waveform, in picoseconds from the anchor point.
    float returnPointLocation = 0.0f;
    /// Parametric line of the waveform: metres per picosecond on each axis.
    float dx = 0.0f;
    float dy = 0.0f;
    float dz = 0.0f;

    bool operator==(const LasWavePacket& other) const {
        return descriptorIndex == other.descriptorIndex && dataOffset == other.dataOffset &&
               size == other.size && returnPointLocation == other.returnPointLocation && dx == other.dx &&
               dy == other.dy && dz == other.dz;
    }
    bool operator!=(const LasWavePacket& other) const { return !(*this == other); }
};

} // namespace Orvid::FileIoInterface::Las
