#pragma once

#include "Laz/LazDescription.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Orvid::FileIoInterface::Las::Laz {

/// The builds of the chunk decoder (DecoderBuild.h).
enum class DecoderBuild { Portable, BitManipulation };

/// The fastest build that this processor can run.
DecoderBuild fastestDecoderBuild();

/// Decodes one chunk with a decoder of the given build: `points` records (at least 1) from the chunk's
/// `size` bytes, replacing `records`; returns how many of the bytes the records took. Throws ChunkFault
/// when the bytes end before the records do or hold values that no encoder writes.
std::size_t decodeChunk(DecoderBuild build, const LazDescription& description, std::uint16_t recordLength,
                        const std::uint8_t* bytes, std::size_t size, std::uint64_t points,
                        std::vector<std::uint8_t>& records);

} // namespace Orvid::FileIoInterface::Las::Laz
