#pragma once

#include "Raw/ByteCursor.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace Orvid::FileIoInterface::Las::Raw {

/// The header of a variable-length record as stored, its payload following it: 54 bytes with a 16-bit
/// payload length for a VLR, 60 bytes with a 64-bit one for an extended VLR (LAS 1.3 waveform data,
/// LAS 1.4 EVLRs).
template <typename Length>
struct RawRecordHeader {
    static constexpr std::size_t SIZE = 2 + 16 + 2 + sizeof(Length) + 32;

    std::uint16_t reserved = 0;
    std::array<char, 16> userId{};
    std::uint16_t recordId = 0;
    Length recordLengthAfterHeader = 0;
    std::array<char, 32> description{};

    static RawRecordHeader decode(const std::uint8_t* bytes) {
        ByteReader reader(bytes);
        RawRecordHeader header;
        header.reserved = reader.read<std::uint16_t>();
        header.userId = reader.readArray<char, 16>();
        header.recordId = reader.read<std::uint16_t>();
        header.recordLengthAfterHeader = reader.read<Length>();
        header.description = reader.readArray<char, 32>();
        return header;
    }

    void encode(std::uint8_t* bytes) const {
        ByteWriter writer(bytes);
        writer.write(reserved);
        writer.writeArray(userId);
        writer.write(recordId);
        writer.write(recordLengthAfterHeader);
        writer.writeArray(description);
    }
};

using RawVlrHeader = RawRecordHeader<std::uint16_t>;
using RawEvlrHeader = RawRecordHeader<std::uint64_t>;
static_assert(RawVlrHeader::SIZE == 54 && RawEvlrHeader::SIZE == 60);

} // namespace Orvid::FileIoInterface::Las::Raw
