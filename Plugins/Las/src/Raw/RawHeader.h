#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace Orvid::FileIoInterface::Las::Raw {

/// Sizes of the public header block as each version defines it.
constexpr std::size_t HEADER_SIZE_1_0 = 227; // also 1.1 and 1.2
constexpr std::size_t HEADER_SIZE_1_3 = 235;
constexpr std::size_t HEADER_SIZE_1_4 = 375;

/// Byte offsets of the header fields that messages and the writer's final patch name.
constexpr std::size_t OFFSET_VERSION_MAJOR = 24;
constexpr std::size_t OFFSET_HEADER_SIZE = 94;
constexpr std::size_t OFFSET_POINT_DATA = 96;
constexpr std::size_t OFFSET_NUMBER_OF_VLRS = 100;
constexpr std::size_t OFFSET_POINT_FORMAT = 104;
constexpr std::size_t OFFSET_RECORD_LENGTH = 105;
constexpr std::size_t OFFSET_LEGACY_POINT_COUNT = 107;
constexpr std::size_t OFFSET_LEGACY_POINTS_BY_RETURN = 111;
constexpr std::size_t OFFSET_SCALE = 131;
constexpr std::size_t OFFSET_OFFSET = 155;
constexpr std::size_t OFFSET_BOUNDS = 179;
constexpr std::size_t OFFSET_WAVEFORM_DATA = 227;
constexpr std::size_t OFFSET_FIRST_EVLR = 235;
constexpr std::size_t OFFSET_NUMBER_OF_EVLRS = 243;
constexpr std::size_t OFFSET_POINT_COUNT = 247;
constexpr std::size_t OFFSET_POINTS_BY_RETURN = 255;

/// The stored point format byte: LAZ files set bit 7 (and some writers bit 6); the format number is
/// in the low six bits.
constexpr std::uint8_t POINT_FORMAT_COMPRESSED_BIT = 0x80;
constexpr std::uint8_t POINT_FORMAT_NUMBER_BITS = 0x3F;

/// The public header block exactly as stored: every field at its on-disk width, counts unresolved,
/// bounds in the on-disk order (max before min on each axis). Fields that a version or a short header
/// lacks read as zero.
struct RawHeader {
    std::array<char, 4> signature{};
    std::uint16_t fileSourceId = 0;
    std::uint16_t globalEncoding = 0;
    std::array<std::uint8_t, 16> projectId{};
    std::uint8_t versionMajor = 0;
    std::uint8_t versionMinor = 0;
    std::array<char, 32> systemIdentifier{};
    std::array<char, 32> generatingSoftware{};
    std::uint16_t creationDayOfYear = 0;
    std::uint16_t creationYear = 0;
    std::uint16_t headerSize = 0;
    std::uint32_t offsetToPointData = 0;
    std::uint32_t numberOfVlrs = 0;
    std::uint8_t pointFormat = 0;
    std::uint16_t pointRecordLength = 0;
    std::uint32_t legacyPointCount = 0;
    std::array<std::uint32_t, 5> legacyPointsByReturn{};
    std::array<double, 3> scale{};
    std::array<double, 3> offset{};
    /// max x, min x, max y, min y, max z, min z.
    std::array<double, 6> bounds{};
    std::uint64_t waveformDataStart = 0;
    std::uint64_t firstEvlrStart = 0;
    std::uint32_t numberOfEvlrs = 0;
    std::uint64_t pointCount = 0;
    std::array<std::uint64_t, 15> pointsByReturn{};
};

/// Decodes a header from `bytes`, of which the first `available` (at most `HEADER_SIZE_1_4`) are
/// present; the missing ones read as zero.
RawHeader decodeRawHeader(const std::uint8_t* bytes, std::size_t available);

/// Encodes `header` into `size` bytes (227, 235 or 375), dropping the fields a shorter header lacks.
void encodeRawHeader(const RawHeader& header, std::uint8_t* bytes, std::size_t size);

/// Sets the point counts of `header`: `count` points, `byReturn[k]` of them of return number k + 1.
/// The 64-bit fields take them (a header shorter than LAS 1.4's drops those when encoded), and the
/// legacy 32-bit fields too, except that LAS 1.4 leaves these zero for point formats 6 to 10 and
/// whenever they cannot hold the total.
void setPointCounts(RawHeader& header, std::uint64_t count, const std::array<std::uint64_t, 15>& byReturn);

} // namespace Orvid::FileIoInterface::Las::Raw
