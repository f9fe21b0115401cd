#include "Laz/ChunkDecoder.h"

#include "Raw/ByteCursor.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <limits>
#include <type_traits>

LAZ_DECODER_TARGET_BEGIN
namespace Orvid::FileIoInterface::Las::Laz {
inline namespace LAZ_DECODER_BUILD {

namespace {

constexpr std::size_t COUNT_SIZE = 4;
constexpr std::size_t LAYER_SIZE_SIZE = 4;
// Records decoded before the buffer first grows; each later batch doubles.
constexpr std::uint64_t FIRST_BATCH = 4096;

// What an item decoder does, told from its decode: a point-wise item decodes from the chunk's one
// coder; a layered item other than the point decodes from its own layers in the point's context.
template <typename Decoder>
constexpr bool DECODES_POINT_WISE =
    std::is_invocable_v<decltype(&std::decay_t<Decoder>::decode), std::decay_t<Decoder>&, ArithmeticDecoder&,
                        std::uint8_t*>;
template <typename Decoder>
constexpr bool FOLLOWS_POINT14 = std::is_invocable_v<decltype(&std::decay_t<Decoder>::decode),
                                                     std::decay_t<Decoder>&, std::uint32_t, std::uint8_t*>;
template <typename Decoder>
constexpr bool IS_LAYERED = !DECODES_POINT_WISE<Decoder>;

// Calls `visit` with the decoder that `decoders` holds, in the loops over points. Beyond eleven
// alternatives, std::visit calls through a table of function pointers, instantiated outside this
// build's target, and no field decoder is inlined into the loop; these index tests become a jump table
// into the inlined visitor, as a switch would.
template <typename Variant, typename Visit, std::size_t... Index>
LAZ_INLINE void visitInLoop(Variant& decoders, Visit visit, std::index_sequence<Index...>) {
    const std::size_t index = decoders.index();
    (void)((index == Index && (visit(*std::get_if<Index>(&decoders)), true)) || ...);
}

template <typename Variant, typename Visit>
LAZ_INLINE void visitInLoop(Variant& decoders, Visit visit) {
    visitInLoop(decoders, visit, std::make_index_sequence<std::variant_size_v<Variant>>());
}

} // namespace

ChunkDecoder::ChunkDecoder(const LazDescription& description, std::uint16_t recordLength)
    : mRecordLength(recordLength)
    , mLayered(description.compressor == Compressor::LayeredChunked) {
    // Room for every item first, so that each decoder is made in its place and never moved.
    mSlots.reserve(description.items.size());
    std::size_t offset = 0;
    for (const LazItem& item : description.items) {
        addSlot(item, offset);
        offset += item.size;
    }
}

void ChunkDecoder::addSlot(const LazItem& item, std::size_t offset) {
    const auto add = [this, offset](auto kind, auto... arguments) {
        mSlots.emplace_back(kind, offset, arguments...);
    };
    const bool first = item.version == 1;
    switch (item.type) {
    case ItemType::Point10:
        first ? add(std::in_place_type<Point10V1Decoder>) : add(std::in_place_type<Point10V2Decoder>);
        break;
    case ItemType::GpsTime11:
        first ? add(std::in_place_type<GpsTimeV1Decoder>) : add(std::in_place_type<GpsTimeV2Decoder>);
        break;
    case ItemType::Rgb12:
        first ? add(std::in_place_type<RgbV1Decoder>) : add(std::in_place_type<RgbV2Decoder>);
        break;
    case ItemType::Byte:
        first ? add(std::in_place_type<ByteV1Decoder>, std::size_t{item.size})
              : add(std::in_place_type<ByteV2Decoder>, std::size_t{item.size});
        break;
    case ItemType::WavePacket13:
        add(std::in_place_type<WavePacketV1Decoder>);
        break;
    case ItemType::Point14:
        add(std::in_place_type<Point14Decoder>);
        break;
    case ItemType::Rgb14:
    case ItemType::RgbNir14:
        add(std::in_place_type<LayeredRgbDecoder>, item.type == ItemType::RgbNir14);
        break;
    case ItemType::Byte14:
        add(std::in_place_type<LayeredByteDecoder>, std::size_t{item.size});
        break;
    case ItemType::WavePacket14:
        add(std::in_place_type<LayeredWavePacketDecoder>);
        break;
    }
}

std::size_t ChunkDecoder::decode(const std::uint8_t* bytes, std::size_t size, std::uint64_t points,
                                 std::vector<std::uint8_t>& records) {
    if (size < mRecordLength) {
        throw ChunkFault("truncated: " + std::to_string(size) + " bytes cannot hold the first record of " +
                             std::to_string(mRecordLength) + " bytes",
                         size);
    }
    if (points > std::numeric_limits<std::size_t>::max() / mRecordLength) {
        throw ChunkFault("too large: " + std::to_string(points) + " records do not fit in memory", 0);
    }
    // A recycled buffer keeps its size while it fills, so that growing it clears no bytes.
    if (records.size() < mRecordLength) {
        records.resize(mRecordLength);
    }
    std::copy_n(bytes, mRecordLength, records.begin());
    const std::size_t used = mLayered ? decodeLayered(bytes, size, points, records)
                                      : decodePointWise(bytes, size, points, records);
    records.resize(static_cast<std::size_t>(points) * mRecordLength);
    return used;
}

std::size_t ChunkDecoder::decodePointWise(const std::uint8_t* bytes, std::size_t size, std::uint64_t points,
                                          std::vector<std::uint8_t>& records) {
    for (Slot& slot : mSlots) {
        const std::uint8_t* first = records.data() + slot.offset;
        std::visit(
            [first](auto& decoder) {
                if constexpr (DECODES_POINT_WISE<decltype(decoder)>) {
                    decoder.start(first);
                }
            },
            slot.decoder);
    }
    const std::uint8_t* stream = bytes + mRecordLength;
    mDecoder.start(stream, bytes + size);
    inBatches(points, records, [this](std::uint8_t* first, std::uint64_t count) {
        // The common item lists in one loop each, every field decoder inlined into it.
        const bool common =
            decodeRunIfItemsAre<Point10V2Decoder, GpsTimeV2Decoder>(first, count) ||
            decodeRunIfItemsAre<Point10V2Decoder, GpsTimeV2Decoder, RgbV2Decoder>(first, count) ||
            decodeRunIfItemsAre<Point10V2Decoder, RgbV2Decoder>(first, count) ||
            decodeRunIfItemsAre<Point10V2Decoder>(first, count);
        if (!common) {
            decodeAnyItems(first, count);
        }
        return mDecoder.overrun() == 0;
    });
    // A lone record needs no coded bytes, though encoders write the coder's closing bytes anyway.
    if (points > 1 && mDecoder.overrun() > 0) {
        throw ChunkFault("truncated: its " + std::to_string(size) + " bytes end before its " +
                             std::to_string(points) + " records",
                         size);
    }
    if (mDecoder.corrupt()) {
        throw ChunkFault("corrupt: its bytes hold values that no encoder writes",
                         mRecordLength + mDecoder.consumed(stream));
    }
    return mRecordLength + mDecoder.consumed(stream);
}

template <typename Decode>
void ChunkDecoder::inBatches(std::uint64_t points, std::vector<std::uint8_t>& records, Decode decode) {
    // The records grow with the points decoded, so that a damaged count that the bytes cannot back
    // ends in a fault before it takes much memory.
    std::uint64_t done = 1;
    std::uint64_t batch = FIRST_BATCH;
    while (done < points) {
        const std::uint64_t count = std::min(points - done, batch);
        const std::size_t needed = static_cast<std::size_t>(done + count) * mRecordLength;
        if (records.size() < needed) {
            records.resize(needed);
        }
        if (!decode(records.data() + static_cast<std::size_t>(done) * mRecordLength, count)) {
            return;
        }
        done += count;
        batch *= 2;
    }
}

template <typename... Decoders>
bool ChunkDecoder::decodeRunIfItemsAre(std::uint8_t* first, std::uint64_t count) {
    return decodeRunIfItemsAre<Decoders...>(first, count, std::index_sequence_for<Decoders...>());
}

template <typename... Decoders, std::size_t... Index>
bool ChunkDecoder::decodeRunIfItemsAre(std::uint8_t* first, std::uint64_t count,
                                       std::index_sequence<Index...>) {
    // Looked up once per batch, so that the loop sees each decoder's own type.
    if (mSlots.size() != sizeof...(Decoders) ||
        !(std::holds_alternative<Decoders>(mSlots[Index].decoder) && ...)) {
        return false;
    }
    decodeRun(first, count, *std::get_if<Decoders>(&mSlots[Index].decoder)...);
    return true;
}

template <typename... Decoders>
void ChunkDecoder::decodeRun(std::uint8_t* first, std::uint64_t count, Decoders&... decoders) {
    // A local coder whose address never escapes: its state stays in registers, unaffected by the
    // stores to the models and records.
    ArithmeticDecoder decoder = mDecoder;
    std::uint8_t* record = first;
    for (std::uint64_t point = 0; point < count; ++point, record += mRecordLength) {
        std::uint8_t* out = record;
        ((decoders.decode(decoder, out), out += Decoders::SIZE), ...);
        if (decoder.overrun() > 0) {
            break;
        }
    }
    mDecoder = decoder;
}

void ChunkDecoder::decodeAnyItems(std::uint8_t* first, std::uint64_t count) {
    std::uint8_t* record = first;
    for (std::uint64_t point = 0; point < count; ++point, record += mRecordLength) {
        for (Slot& slot : mSlots) {
            std::uint8_t* out = record + slot.offset;
            visitInLoop(slot.decoder, [this, out](auto& decoder) LAZ_INLINE_LAMBDA {
                if constexpr (DECODES_POINT_WISE<decltype(decoder)>) {
                    decoder.decode(mDecoder, out);
                }
            });
        }
        if (mDecoder.overrun() > 0) {
            return;
        }
    }
}

std::size_t ChunkDecoder::layerCount() const {
    std::size_t layers = 0;
    for (const Slot& slot : mSlots) {
        std::visit(
            [&layers](const auto& decoder) {
                if constexpr (IS_LAYERED<decltype(decoder)>) {
                    layers += decoder.layers();
                }
            },
            slot.decoder);
    }
    return layers;
}

std::optional<std::uint32_t> ChunkDecoder::statedPointCount(const std::uint8_t* bytes,
                                                            std::size_t size) const {
    if (size < mRecordLength + COUNT_SIZE) {
        return std::nullopt;
    }
    return Raw::load<std::uint32_t>(bytes + mRecordLength);
}

std::optional<std::uint64_t> ChunkDecoder::statedSize(const std::uint8_t* bytes, std::size_t size) const {
    const std::size_t layers = layerCount();
    const std::size_t header = mRecordLength + COUNT_SIZE + LAYER_SIZE_SIZE * layers;
    if (size < header) {
        return std::nullopt;
    }
    std::uint64_t total = header;
    for (std::size_t layer = 0; layer < layers; ++layer) {
        total += Raw::load<std::uint32_t>(bytes + mRecordLength + COUNT_SIZE + LAYER_SIZE_SIZE * layer);
    }
    return total;
}

std::size_t ChunkDecoder::decodeLayered(const std::uint8_t* bytes, std::size_t size, std::uint64_t points,
                                        std::vector<std::uint8_t>& records) {
    const std::size_t layers = layerCount();
    const std::optional<std::uint64_t> total = statedSize(bytes, size);
    if (!total || *total > size) {
        throw ChunkFault("truncated: its " + std::to_string(size) + " bytes do not hold the " +
                             (total ? std::to_string(*total) + " bytes that its layers state"
                                    : "sizes of its " + std::to_string(layers) + " layers"),
                         size);
    }
    std::vector<std::uint32_t> sizes(layers);
    std::vector<const std::uint8_t*> starts(layers);
    const std::uint8_t* next = bytes + mRecordLength + COUNT_SIZE + LAYER_SIZE_SIZE * layers;
    for (std::size_t layer = 0; layer < layers; ++layer) {
        sizes[layer] = Raw::load<std::uint32_t>(bytes + mRecordLength + COUNT_SIZE + LAYER_SIZE_SIZE * layer);
        starts[layer] = next;
        next += sizes[layer];
    }

    if (points > 1 && sizes[0] == 0) {
        throw ChunkFault("corrupt: its " + std::to_string(points) +
                             " records have no layer of returns and coordinates",
                         mRecordLength + COUNT_SIZE);
    }
    std::array<const std::uint8_t*, Point14Decoder::LAYERS> pointStarts{};
    std::array<std::uint32_t, Point14Decoder::LAYERS> pointSizes{};
    std::copy_n(starts.begin(), Point14Decoder::LAYERS, pointStarts.begin());
    std::copy_n(sizes.begin(), Point14Decoder::LAYERS, pointSizes.begin());
    Point14Decoder& pointDecoder = point14();
    pointDecoder.start(records.data(), pointStarts, pointSizes);
    const std::uint32_t channel = pointDecoder.channel();
    std::size_t layer = Point14Decoder::LAYERS;
    for (Slot& slot : mSlots) {
        const std::uint8_t* first = records.data() + slot.offset;
        std::visit(
            [&](auto& decoder) {
                if constexpr (FOLLOWS_POINT14<decltype(decoder)>) {
                    decoder.start(first, channel, &starts[layer], &sizes[layer]);
                    layer += decoder.layers();
                }
            },
            slot.decoder);
    }

    inBatches(points, records, [this](std::uint8_t* first, std::uint64_t count) {
        decodeLayeredRun(first, count);
        return !layersDamaged();
    });
    if (layersDamaged()) {
        throw ChunkFault("corrupt or truncated: its layers do not hold the " + std::to_string(points) +
                             " records",
                         mRecordLength + COUNT_SIZE);
    }
    return static_cast<std::size_t>(*total);
}

bool ChunkDecoder::layersDamaged() const {
    return std::any_of(mSlots.begin(), mSlots.end(), [](const Slot& slot) {
        return std::visit(
            [](const auto& decoder) {
                if constexpr (IS_LAYERED<decltype(decoder)>) {
                    return decoder.damaged();
                } else {
                    return false;
                }
            },
            slot.decoder);
    });
}

void ChunkDecoder::decodeLayeredRun(std::uint8_t* first, std::uint64_t count) {
    Point14Decoder& pointDecoder = point14();
    std::uint8_t* record = first;
    for (std::uint64_t point = 0; point < count; ++point, record += mRecordLength) {
        const std::uint32_t current = pointDecoder.decode(record);
        for (auto slot = std::next(mSlots.begin()); slot != mSlots.end(); ++slot) {
            std::uint8_t* out = record + slot->offset;
            visitInLoop(slot->decoder, [current, out](auto& decoder) LAZ_INLINE_LAMBDA {
                if constexpr (FOLLOWS_POINT14<decltype(decoder)>) {
                    decoder.decode(current, out);
                }
            });
        }
    }
}

std::size_t decodeChunkRecords(const LazDescription& description, std::uint16_t recordLength,
                               const std::uint8_t* bytes, std::size_t size, std::uint64_t points,
                               std::vector<std::uint8_t>& records) {
    ChunkDecoder decoder(description, recordLength);
    return decoder.decode(bytes, size, points, records);
}

} // namespace LAZ_DECODER_BUILD
} // namespace Orvid::FileIoInterface::Las::Laz
LAZ_DECODER_TARGET_END
