#pragma once

#include "Raw/ByteCursor.h"
#include "Raw/PointFormat.h"

#include <FileIoInterface/Las/LasWavePacket.h>

#include <cstdint>

namespace Orvid::FileIoInterface::Las::Raw {

/// The wave packet block: the point carries it exactly as stored.
using RawWavePacket = LasWavePacket;

/// The standard fields of a point record in on-disk units, bit fields unpacked: scaled integer
/// coordinates, the scan angle as a whole-degree rank (formats 0 to 5) or in 0.006° steps (6 to 10).
/// Fields the format lacks stay zero.
struct RawPointRecord {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t z = 0;
    std::uint16_t intensity = 0;
    std::uint8_t returnNumber = 0;
    std::uint8_t numberOfReturns = 0;
    std::uint8_t classification = 0;
    /// Synthetic, key-point, withheld, overlap as bits 0 to 3; formats 0 to 5 have no overlap bit.
    std::uint8_t classificationFlags = 0;
    std::uint8_t scannerChannel = 0;
    std::uint8_t scanDirection = 0;
    std::uint8_t edgeOfFlightLine = 0;
    std::uint8_t userData = 0;
    std::int16_t scanAngle = 0;
    std::uint16_t pointSourceId = 0;
    double gpsTime = 0.0;
    std::uint16_t red = 0;
    std::uint16_t green = 0;
    std::uint16_t blue = 0;
    std::uint16_t nir = 0;
    RawWavePacket wavePacket;
};

inline RawWavePacket decodeWavePacket(const std::uint8_t* bytes) {
    ByteReader reader(bytes);
    RawWavePacket packet;
    packet.descriptorIndex = reader.read<std::uint8_t>();
    packet.dataOffset = reader.read<std::uint64_t>();
    packet.size = reader.read<std::uint32_t>();
    packet.returnPointLocation = reader.read<float>();
    packet.dx = reader.read<float>();
    packet.dy = reader.read<float>();
    packet.dz = reader.read<float>();
    return packet;
}

inline void encodeWavePacket(const RawWavePacket& packet, std::uint8_t* bytes) {
    ByteWriter writer(bytes);
    writer.write(packet.descriptorIndex);
    writer.write(packet.dataOffset);
    writer.write(packet.size);
    writer.write(packet.returnPointLocation);
    writer.write(packet.dx);
    writer.write(packet.dy);
    writer.write(packet.dz);
}

/// Decodes the standard fields of one record of point format `N`; `bytes` holds at least its
/// standard length.
template <std::uint8_t N>
[[gnu::always_inline]] inline RawPointRecord decodePointRecord(const std::uint8_t* bytes) {
    constexpr PointFormat format = POINT_FORMATS[N];
    RawPointRecord record;
    record.x = load<std::int32_t>(bytes + 0);
    record.y = load<std::int32_t>(bytes + 4);
    record.z = load<std::int32_t>(bytes + 8);
    record.intensity = load<std::uint16_t>(bytes + 12);
    const std::uint8_t returns = bytes[14];
    const std::uint8_t flags = bytes[15];
    if constexpr (format.extended) {
        record.returnNumber = returns & 0x0Fu;
        record.numberOfReturns = returns >> 4;
        record.classificationFlags = flags & 0x0Fu;
        record.scannerChannel = (flags >> 4) & 0x03u;
        record.scanDirection = (flags >> 6) & 0x01u;
        record.edgeOfFlightLine = flags >> 7;
        record.classification = bytes[16];
        record.userData = bytes[17];
        record.scanAngle = load<std::int16_t>(bytes + 18);
        record.pointSourceId = load<std::uint16_t>(bytes + 20);
    } else {
        record.returnNumber = returns & 0x07u;
        record.numberOfReturns = (returns >> 3) & 0x07u;
        record.scanDirection = (returns >> 6) & 0x01u;
        record.edgeOfFlightLine = returns >> 7;
        record.classification = flags & 0x1Fu;
        record.classificationFlags = flags >> 5;
        record.scanAngle = std::int16_t{load<std::int8_t>(bytes + 16)};
        record.userData = bytes[17];
        record.pointSourceId = load<std::uint16_t>(bytes + 18);
    }
    if constexpr (format.gpsTime != 0) {
        record.gpsTime = load<double>(bytes + format.gpsTime);
    }
    if constexpr (format.rgb != 0) {
        record.red = load<std::uint16_t>(bytes + format.rgb);
        record.green = load<std::uint16_t>(bytes + format.rgb + 2);
        record.blue = load<std::uint16_t>(bytes + format.rgb + 4);
    }
    if constexpr (format.nir != 0) {
        record.nir = load<std::uint16_t>(bytes + format.nir);
    }
    if constexpr (format.wavePacket != 0) {
        record.wavePacket = decodeWavePacket(bytes + format.wavePacket);
    }
    return record;
}

/// Encodes the standard fields of one record of point format `N`. The caller has checked that every
/// field fits its bit field (returns, class and flags of formats 0 to 5, the scan angle rank).
template <std::uint8_t N>
[[gnu::always_inline]] inline void encodePointRecord(const RawPointRecord& record, std::uint8_t* bytes) {
    constexpr PointFormat format = POINT_FORMATS[N];
    store(bytes + 0, record.x);
    store(bytes + 4, record.y);
    store(bytes + 8, record.z);
    store(bytes + 12, record.intensity);
    if constexpr (format.extended) {
        bytes[14] = static_cast<std::uint8_t>(record.returnNumber | (record.numberOfReturns << 4));
        bytes[15] = static_cast<std::uint8_t>(record.classificationFlags | (record.scannerChannel << 4) |
                                              (record.scanDirection << 6) | (record.edgeOfFlightLine << 7));
        bytes[16] = record.classification;
        bytes[17] = record.userData;
        store(bytes + 18, record.scanAngle);
        store(bytes + 20, record.pointSourceId);
    } else {
        bytes[14] = static_cast<std::uint8_t>(record.returnNumber | (record.numberOfReturns << 3) |
                                              (record.scanDirection << 6) | (record.edgeOfFlightLine << 7));
        bytes[15] = static_cast<std::uint8_t>(record.classification | (record.classificationFlags << 5));
        store(bytes + 16, static_cast<std::int8_t>(record.scanAngle));
        bytes[17] = record.userData;
        store(bytes + 18, record.pointSourceId);
    }
    if constexpr (format.gpsTime != 0) {
        store(bytes + format.gpsTime, record.gpsTime);
    }
    if constexpr (format.rgb != 0) {
        store(bytes + format.rgb, record.red);
        store(bytes + format.rgb + 2, record.green);
        store(bytes + format.rgb + 4, record.blue);
    }
    if constexpr (format.nir != 0) {
        store(bytes + format.nir, record.nir);
    }
    if constexpr (format.wavePacket != 0) {
        encodeWavePacket(record.wavePacket, bytes + format.wavePacket);
    }
}

} // namespace Orvid::FileIoInterface::Las::Raw
