#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Orvid::FileIoInterface::Las::Laz {

/// How the points of a LAZ file are compressed.
enum class Compressor : std::uint16_t {
    None = 0,
    /// One stream for all points, without chunks.
    PointWise = 1,
    /// Chunks of points, each field of a point after the one before.
    PointWiseChunked = 2,
    /// Chunks of points, each field group of formats 6 to 10 in a layer of its own.
    LayeredChunked = 3,
};

/// The field group of a record that one item decoder restores.
enum class ItemType : std::uint16_t {
    Byte = 0,
    Point10 = 6,
    GpsTime11 = 7,
    Rgb12 = 8,
    WavePacket13 = 9,
    Point14 = 10,
    Rgb14 = 11,
    RgbNir14 = 12,
    WavePacket14 = 13,
    Byte14 = 14,
};

struct LazItem {
    ItemType type = ItemType::Byte;
    /// Bytes of the record that the item covers.
    std::uint16_t size = 0;
    std::uint16_t version = 0;

    friend bool operator==(const LazItem& a, const LazItem& b) {
        return a.type == b.type && a.size == b.size && a.version == b.version;
    }
};

/// The LAZ description record (a VLR identified by `USER_ID` and `RECORD_ID`): compressor, chunk size
/// and the items that make a record, in record order.
struct LazDescription {
    static constexpr const char* USER_ID = "laszip encoded";
    static constexpr std::uint16_t RECORD_ID = 22204;
    /// `chunkSize` of files whose chunks each state their own point count.
    static constexpr std::uint32_t VARIABLE_CHUNK_SIZE = 0xFFFFFFFFu;
    /// Where the 32-bit chunk size lies in the record's payload.
    static constexpr std::size_t CHUNK_SIZE_OFFSET = 12;

    Compressor compressor = Compressor::None;
    std::uint32_t chunkSize = 0;
    std::vector<LazItem> items;

    /// Decodes `payload`; returns an empty string when it is valid for `pointFormat` with records of
    /// `recordLength` bytes, else what is wrong, for a message.
    static std::string parse(const std::vector<std::uint8_t>& payload, std::uint8_t pointFormat,
                             std::uint16_t recordLength, LazDescription& description);

    /// The description of chunked files of `pointFormat` records followed by `extraBytes` bytes, with
    /// the items and item versions that the encoders write: point-wise compression for formats 0 to 5,
    /// layered for 6 to 10, the extra bytes as one byte item.
    static LazDescription forRecords(std::uint8_t pointFormat, std::uint16_t extraBytes,
                                     std::uint32_t chunkSize);

    /// The record's payload: compressor, arithmetic coder, the encoder's version numbers, no options,
    /// the chunk size, no special extended records, then the items.
    std::vector<std::uint8_t> encode() const;

    /// "POINT10 2, GPSTIME11 2", for messages.
    std::string describeItems() const;
};

} // namespace Orvid::FileIoInterface::Las::Laz
