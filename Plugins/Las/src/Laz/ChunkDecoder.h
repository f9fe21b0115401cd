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
#include <utility>
#include <variant>
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
    /// The decoder of one item, of the item's kind and version. Point-wise items decode from the
    /// chunk's one coder; in layered chunks, the Point14Decoder comes first and drives the others.
    using ItemDecoder =
        std::variant<Point10V1Decoder, Point10V2Decoder, GpsTimeV1Decoder, GpsTimeV2Decoder, RgbV1Decoder,
                     RgbV2Decoder, ByteV1Decoder, ByteV2Decoder, WavePacketV1Decoder, Point14Decoder,
                     LayeredRgbDecoder, LayeredByteDecoder, LayeredWavePacketDecoder>;
    struct Slot {
        /// Makes the decoder in its place: a decoder holds kilobytes of model state.
        template <typename Decoder, typename... Arguments>
        Slot(std::in_place_type_t<Decoder> kind, std::size_t at, Arguments... arguments)
            : decoder(kind, arguments...)
            , offset(at) {}

        ItemDecoder decoder;
        /// Where the item lies in a record.
        std::size_t offset;
    };

    void addSlot(const LazItem& item, std::size_t offset);
    template <typename Decode>
    void inBatches(std::uint64_t points, std::vector<std::uint8_t>& records, Decode decode);
    template <typename... Decoders>
    bool decodeRunIfItemsAre(std::uint8_t* first, std::uint64_t count);
    template <typename... Decoders, std::size_t... Index>
    bool decodeRunIfItemsAre(std::uint8_t* first, std::uint64_t count, std::index_sequence<Index...>);
    template <typename... Decoders>
    void decodeRun(std::uint8_t* first, std::uint64_t count, Decoders&... decoders);
    void decodeAnyItems(std::uint8_t* first, std::uint64_t count);
    void decodeLayeredRun(std::uint8_t* first, std::uint64_t count);
    /// The item that drives the others of a layered chunk, always its first.
    Point14Decoder& point14() { return std::get<Point14Decoder>(mSlots.front().decoder); }
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
};

/// This build's entry point: one chunk decoded by a ChunkDecoder of its own.
std::size_t decodeChunkRecords(const LazDescription& description, std::uint16_t recordLength,
                               const std::uint8_t* bytes, std::size_t size, std::uint64_t points,
                               std::vector<std::uint8_t>& records);

} // namespace LAZ_DECODER_BUILD
} // namespace Orvid::FileIoInterface::Las::Laz
LAZ_DECODER_TARGET_END
