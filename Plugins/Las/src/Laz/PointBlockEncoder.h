#pragma once

#include "Laz/LazDescription.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Orvid::FileIoInterface::Las::Laz {

/// One chunk of a point block: how many points and how many bytes it holds.
struct ChunkSize {
    std::uint32_t points = 0;
    std::uint32_t bytes = 0;
};

/// The chunk table that LazChunkReader reads: version 0, the chunk count, then each chunk's byte
/// count (after its point count, with `variable` chunk sizes) coded as a difference to the last chunk's.
std::vector<std::uint8_t> encodeChunkTable(const std::vector<ChunkSize>& chunks, bool variable);

/// Whether `chunks` must each state their point count, in a file whose description says `chunkSize`:
/// fixed-size chunks hold exactly that many points, but the last, which may hold fewer.
bool chunksStateTheirCounts(const std::vector<ChunkSize>& chunks, std::uint32_t chunkSize);

/// The point data of a chunked LAZ file, point-wise (formats 0 to 5) or layered (formats 6 to 10): the
/// records `records` of `recordLength` bytes (`points` of them) encoded as the description states, as
/// the file offset of the chunk table (8 bytes), the chunks, and the chunk table. `pointDataOffset` is the
/// file offset at which the block will lie. Fixed-size chunks hold the description's chunk size, the last
/// one fewer; with the variable chunk size `chunkPoints` gives each chunk's point count. Throws
/// std::invalid_argument as ChunkEncoder does, when the compressor is not chunked, and when a chunk's
/// points or bytes do not fit the table's 32-bit counts.
std::vector<std::uint8_t> encodePointBlock(const LazDescription& description, std::uint16_t recordLength,
                                           const std::uint8_t* records, std::uint64_t points,
                                           std::uint64_t pointDataOffset,
                                           const std::vector<std::uint32_t>& chunkPoints = {});

} // namespace Orvid::FileIoInterface::Las::Laz
