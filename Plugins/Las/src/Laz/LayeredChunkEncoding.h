#pragma once

#include "Laz/LazDescription.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Orvid::FileIoInterface::Las::Laz {

/// An item of a record, and where it lies in the record.
struct ItemSlot {
    LazItem item;
    std::size_t offset = 0;
};

/// The layered items that the chunk encoder writes, all version 3: POINT14, RGB14, RGBNIR14, BYTE14 and
/// WAVEPACKET14.
bool writesLayered(const LazItem& item);

/// The layered chunk of `points` records (at least 1, at most 2^32 - 1) of `recordLength` bytes that
/// start at `records`, of the items of `slots`, the inverse of ChunkDecoder's layered decoding, byte for
/// byte as the widely used encoder writes it: the first record as it is, the chunk's point count, the
/// byte count of every layer, then the layers. POINT14 leads the items and gives the others their
/// scanner channel context. Throws std::invalid_argument when a layer holds more bytes than a 32-bit
/// count.
std::vector<std::uint8_t> encodeLayeredChunk(const std::vector<ItemSlot>& slots, std::size_t recordLength,
                                             const std::uint8_t* records, std::size_t points);

} // namespace Orvid::FileIoInterface::Las::Laz
