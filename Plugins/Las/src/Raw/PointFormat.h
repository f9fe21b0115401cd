#pragma once

#include <cstddef>
#include <cstdint>

namespace Orvid::FileIoInterface::Las::Raw {

/// Where the fields of one point data record format lie; an offset of 0 means the format lacks the
/// field (no optional field starts at byte 0).
struct PointFormat {
    std::uint8_t number = 0;
    std::uint16_t standardLength = 0;
    /// Formats 6 to 10: 4-bit returns, 8-bit class, flags byte, 16-bit scan angle.
    bool extended = false;
    std::uint16_t gpsTime = 0;
    std::uint16_t rgb = 0;
    std::uint16_t nir = 0;
    std::uint16_t wavePacket = 0;
};

constexpr std::uint8_t MAX_POINT_FORMAT = 10;
/// Size of the wave packet block of formats 4, 5, 9 and 10.
constexpr std::size_t WAVE_PACKET_SIZE = 29;

constexpr PointFormat POINT_FORMATS[MAX_POINT_FORMAT + 1] = {
    {0, 20, false, 0, 0, 0, 0},   {1, 28, false, 20, 0, 0, 0},    {2, 26, false, 0, 20, 0, 0},
    {3, 34, false, 20, 28, 0, 0}, {4, 57, false, 20, 0, 0, 28},   {5, 63, false, 20, 28, 0, 34},
    {6, 30, true, 22, 0, 0, 0},   {7, 36, true, 22, 30, 0, 0},    {8, 38, true, 22, 30, 36, 0},
    {9, 59, true, 22, 0, 0, 30},  {10, 67, true, 22, 30, 36, 38},
};

// Each format's last field ends exactly at its standard length.
constexpr bool lengthsAreConsistent() {
    for (const PointFormat& format : POINT_FORMATS) {
        std::size_t end = format.extended ? 30 : 20;
        if (!format.extended && format.gpsTime != 0) {
            end = format.gpsTime + 8u;
        }
        if (format.rgb != 0) {
            end = format.rgb + 6u;
        }
        if (format.nir != 0) {
            end = format.nir + 2u;
        }
        if (format.wavePacket != 0) {
            end = format.wavePacket + WAVE_PACKET_SIZE;
        }
        if (end != format.standardLength) {
            return false;
        }
    }
    return true;
}
static_assert(lengthsAreConsistent());

} // namespace Orvid::FileIoInterface::Las::Raw
