#pragma once

#include "Laz/LayeredChunkEncoding.h"
#include "Laz/LazDescription.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Orvid::FileIoInterface::Las::Laz {

/// Turns the raw LAS records of one chunk into the bytes of a point-wise or layered chunk, the inverse
/// of ChunkDecoder: the first record as it is, the others encoded by the items of the description, byte
/// for byte as the widely used encoder writes them. Every chunk starts from fresh models.
class ChunkEncoder {
public:
    /// Throws std::invalid_argument when the description is neither point-wise nor layered, holds an
    /// item, or an item version, that this encoder does not write with its compressor, or when its items
    /// do not make a record of `recordLength` bytes.
    ChunkEncoder(const LazDescription& description, std::uint16_t recordLength);

    /// The chunk of `points` records (at least 1) that start at `records`.
    std::vector<std::uint8_t> encode(const std::uint8_t* records, std::size_t points) const;

    /// The items that this encoder writes: point-wise, POINT10, GPSTIME11, RGB12 and BYTE version 2 and
    /// WAVEPACKET13 version 1; layered, those of `writesLayered`.
    static bool writes(const LazItem& item);

private:
    std::size_t mRecordLength;
    bool mLayered;
    std::vector<ItemSlot> mSlots;
};

} // namespace Orvid::FileIoInterface::Las::Laz
