#pragma once

#include "Laz/LazDescription.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Orvid::FileIoInterface::Las::Laz {

/// Turns the raw LAS records of one chunk of formats 6 to 10 into the bytes of a layered chunk, the
/// inverse of ChunkDecoder's layered decoding, byte for byte as the widely used encoder writes them: the
/// first record as it is, the chunk's point count, the byte count of every layer, then the layers.
/// POINT14 comes first and gives the other items their scanner channel context. Every chunk starts from
/// fresh models.
class LayeredChunkEncoder {
public:
    /// Throws std::invalid_argument when the items do not start with POINT14 or hold an item, or an item
    /// version, that this encoder does not write, or when they do not make a record of `recordLength`
    /// bytes.
    LayeredChunkEncoder(const LazDescription& description, std::uint16_t recordLength);

    /// The chunk of `points` records (at least 1, at most 2^32 - 1) that start at `records`. Throws
    /// std::invalid_argument when a layer holds more bytes than a 32-bit count.
    std::vector<std::uint8_t> encode(const std::uint8_t* records, std::size_t points) const;

    /// The items that this encoder writes, all version 3: POINT14, RGB14, RGBNIR14, BYTE14, WAVEPACKET14.
    static bool writes(const LazItem& item);

private:
    struct Slot {
        LazItem item;
        std::size_t offset;
    };

    std::size_t mRecordLength;
    std::vector<Slot> mSlots;
};

} // namespace Orvid::FileIoInterface::Las::Laz
