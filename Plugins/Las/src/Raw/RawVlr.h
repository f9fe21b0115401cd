#pragma once

#include "Raw/ByteCursor.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace Orvid::FileIoInterface::Las::Raw {

/// The 54-byte header of a variable-length record as stored; its payload follows it.
struct RawVlrHeader {
    static constexpr std::size_t SIZE = 54;

    std::uint16_t reserved = 0;
    std::array<char, 16> userId{};
    std::uint16_t recordId = 0;
    std::uint16_t recordLengthAfterHeader = 0;
    std::array<char, 32> description{};

    static RawVlrHeader decode(const std::uint8_t* bytes) {
        ByteReader reader(bytes);
        RawVlrHeader header;
        header.reserved = reader.read<std::uint16_t>();
        header.userId = reader.readArray<char, 16>();
        header.recordId = reader.read<std::uint16_t>();
        header.recordLengthAfterHeader = reader.read<std::uint16_t>();
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

static_assert(2 + 16 + 2 + 2 + 32 == RawVlrHeader::SIZE);

/// The 60-byte header of an extended variable-length record (LAS 1.3 waveform data, LAS 1.4 EVLRs):
/// a VLR header with a 64-bit payload length.
struct RawEvlrHeader {
    static constexpr std::size_t SIZE = 60;

    std::uint16_t reserved = 0;
    std::array<char, 16> userId{};
    std::uint16_t recordId = 0;
    std::uint64_t recordLengthAfterHeader = 0;
    std::array<char, 32> description{};

    static RawEvlrHeader decode(const std::uint8_t* bytes) {
        ByteReader reader(bytes);
        RawEvlrHeader header;
        header.reserved = reader.read<std::uint16_t>();
        header.userId = reader.readArray<char, 16>();
        header.recordId = reader.read<std::uint16_t>();
        header.recordLengthAfterHeader = reader.read<std::uint64_t>();
        header.description = reader.readArray<char, 32>();
        return header;
    }
};

static_assert(2 + 16 + 2 + 8 + 32 == RawEvlrHeader::SIZE);

} // namespace Orvid::FileIoInterface::Las::Raw
