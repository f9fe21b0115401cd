#pragma once

#include "Laz/ArithmeticDecoder.h"
#include "Laz/ByteDecoder.h"
#include "Laz/ChunkFault.h"
#include "Laz/DecoderBuild.h"
#include "Laz/GpsTimeDecoder.h"
#include "Laz/LazDescription.h"
#include "Laz/Point10Decoder.h"
#include "Laz/Point14Decoder.h"
#include "Laz/RgbDecoder.h"
#include "Laz/WavePacketDecoder.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

LAZ_DECODER_TARGET_BEGIN
namespace Orvid::FileIoInterface::Las::Laz {
inline namespace LAZ_DECODER_BUILD {

/// Turns the bytes of one chunk into raw LAS records: the first record as stored, the others decoded
/// by the items of the description, in record order. A decoder decodes one chunk: every chunk starts
/// from fresh models.
class ChunkDecoder {
public:
    ChunkDecoder(const LazDescription& description, std::uint16_t recordLength);
    ChunkDecoder(const ChunkDecoder&) = delete;
    ChunkDecoder& operator=(const ChunkDecoder&) = delete;

    /// Decodes `points` records (at least 1) from the chunk's `size` bytes, replacing `records`;
    /// returns how many of the bytes the records took. Throws ChunkFault when the bytes
    /// end before the records do or hold values no encoder writes.
    std::size_t decode(const std::uint8_t* bytes, std::size_t size, std::uint64_t points,
                       std::vector<std::uint8_t>& records);

    /// For layered chunks: the point count that the chunk at `bytes` states, or nothing when `size`
    /// bytes do not reach it.
    std::optional<std::uint32_t> statedPointCount(const std::uint8_t* bytes, std::size_t size) const;
    /// For layered chunks: the chunk's size as its own layer sizes state it, or nothing when `size`
    /// bytes do not reach them.
    std::optional<std::uint64_t> statedSize(const std::uint8_t* bytes, std::size_t size) const;

private:
    enum class Kind {
        Point10V1,
        Point10V2,
        GpsTimeV1,
        GpsTimeV2,
        RgbV1,
        RgbV2,
        ByteV1,
        ByteV2,
        WavePacketV1,
        Point14,
        LayeredRgb,
        LayeredByte,
        LayeredWavePacket,
    };
    struct Slot {
        Kind kind;
        std::size_t offset;
    };

    template <typename Decode>
    void inBatches(std::uint64_t points, std::vector<std::uint8_t>& records, Decode decode);
    template <typename... Decoders>
    void decodeRun(std::uint8_t* first, std::uint64_t count, Decoders&... decoders);
    void decodeAnyItems(std::uint8_t* first, std::uint64_t count);
    void decodeLayeredRun(std::uint8_t* first, std::uint64_t count);
    bool layersDamaged() const;
    std::size_t decodePointWise(const std::uint8_t* bytes, std::size_t size, std::uint64_t points,
                                std::vector<std::uint8_t>& records);
    std::size_t decodeLayered(const std::uint8_t* bytes, std::size_t size, std::uint64_t points,
                              std::vector<std::uint8_t>& records);
    std::size_t layerCount() const;

    std::size_t mRecordLength;
    bool mLayered;
    std::vector<Slot> mSlots;
    ArithmeticDecoder mDecoder;
    std::optional<Point10V1Decoder> mPoint10V1;
    std::optional<Point10V2Decoder> mPoint10V2;
    std::optional<GpsTimeV1Decoder> mGpsTimeV1;
    std::optional<GpsTimeV2Decoder> mGpsTimeV2;
    std::optional<RgbV1Decoder> mRgbV1;
    std::optional<RgbV2Decoder> mRgbV2;
    std::optional<ByteV1Decoder> mByteV1;
    std::optional<ByteV2Decoder> mByteV2;
    std::optional<WavePacketV1Decoder> mWavePacketV1;
    std::optional<Point14Decoder> mPoint14;
    std::optional<LayeredRgbDecoder> mLayeredRgb;
    std::optional<LayeredByteDecoder> mLayeredByte;
    std::optional<LayeredWavePacketDecoder> mLayeredWavePacket;
};

/// This build's entry point: one chunk decoded by a ChunkDecoder of its own.
std::size_t decodeChunkRecords(const LazDescription& description, std::uint16_t recordLength,
                               const std::uint8_t* bytes, std::size_t size, std::uint64_t points,
                               std::vector<std::uint8_t>& records);

} // namespace LAZ_DECODER_BUILD
} // namespace Orvid::FileIoInterface::Las::Laz
LAZ_DECODER_TARGET_END
