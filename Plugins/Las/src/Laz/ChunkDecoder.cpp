#include "Laz/ChunkDecoder.h"

#include "Raw/ByteCursor.h"

#include <algorithm>
#include <array>
#include <limits>

LAZ_DECODER_TARGET_BEGIN
namespace Orvid::FileIoInterface::Las::Laz {
inline namespace LAZ_DECODER_BUILD {

namespace {

constexpr std::size_t COUNT_SIZE = 4;
constexpr std::size_t LAYER_SIZE_SIZE = 4;
// Records decoded before the buffer first grows; each later batch doubles.
constexpr std::uint64_t FIRST_BATCH = 4096;

} // namespace

ChunkDecoder::ChunkDecoder(const LazDescription& description, std::uint16_t recordLength)
    : mRecordLength(recordLength)
    , mLayered(description.compressor == Compressor::LayeredChunked) {
    std::size_t offset = 0;
    for (const LazItem& item : description.items) {
        Kind kind = Kind::Point10V2;
        const bool first = item.version == 1;
        switch (item.type) {
        case ItemType::Point10:
            kind = first ? Kind::Point10V1 : Kind::Point10V2;
            first ? (void)mPoint10V1.emplace() : (void)mPoint10V2.emplace();
            break;
        case ItemType::GpsTime11:
            kind = first ? Kind::GpsTimeV1 : Kind::GpsTimeV2;
            first ? (void)mGpsTimeV1.emplace() : (void)mGpsTimeV2.emplace();
            break;
        case ItemType::Rgb12:
            kind = first ? Kind::RgbV1 : Kind::RgbV2;
            first ? (void)mRgbV1.emplace() : (void)mRgbV2.emplace();
            break;
        case ItemType::Byte:
            kind = first ? Kind::ByteV1 : Kind::ByteV2;
            first ? (void)mByteV1.emplace(item.size) : (void)mByteV2.emplace(item.size);
            break;
        case ItemType::WavePacket13:
            kind = Kind::WavePacketV1;
            mWavePacketV1.emplace();
            break;
        case ItemType::Point14:
            kind = Kind::Point14;
            mPoint14.emplace();
            break;
        case ItemType::Rgb14:
        case ItemType::RgbNir14:
            kind = Kind::LayeredRgb;
            mLayeredRgb.emplace(item.type == ItemType::RgbNir14);
            break;
        case ItemType::Byte14:
            kind = Kind::LayeredByte;
            mLayeredByte.emplace(item.size);
            break;
        case ItemType::WavePacket14:
            kind = Kind::LayeredWavePacket;
            mLayeredWavePacket.emplace();
            break;
        }
        mSlots.push_back({kind, offset});
        offset += item.size;
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
    for (const Slot& slot : mSlots) {
        const std::uint8_t* first = records.data() + slot.offset;
        switch (slot.kind) {
        case Kind::Point10V1:
            mPoint10V1->start(first);
            break;
        case Kind::Point10V2:
            mPoint10V2->start(first);
            break;
        case Kind::GpsTimeV1:
            mGpsTimeV1->start(first);
            break;
        case Kind::GpsTimeV2:
            mGpsTimeV2->start(first);
            break;
        case Kind::RgbV1:
            mRgbV1->start(first);
            break;
        case Kind::RgbV2:
            mRgbV2->start(first);
            break;
        case Kind::ByteV1:
            mByteV1->start(first);
            break;
        case Kind::ByteV2:
            mByteV2->start(first);
            break;
        case Kind::WavePacketV1:
            mWavePacketV1->start(first);
            break;
        default:
            break;
        }
    }
    const std::uint8_t* stream = bytes + mRecordLength;
    mDecoder.start(stream, bytes + size);
    // The common item lists in one loop each, every field decoder inlined into it.
    const auto is = [this](std::initializer_list<Kind> kinds) {
        return std::equal(mSlots.begin(), mSlots.end(), kinds.begin(), kinds.end(),
                          [](const Slot& slot, Kind kind) { return slot.kind == kind; });
    };
    const bool point10GpsTime = is({Kind::Point10V2, Kind::GpsTimeV2});
    const bool point10GpsTimeRgb = is({Kind::Point10V2, Kind::GpsTimeV2, Kind::RgbV2});
    const bool point10Rgb = is({Kind::Point10V2, Kind::RgbV2});
    const bool point10 = is({Kind::Point10V2});
    inBatches(points, records, [&](std::uint8_t* first, std::uint64_t count) {
        if (point10GpsTime) {
            decodeRun(first, count, *mPoint10V2, *mGpsTimeV2);
        } else if (point10GpsTimeRgb) {
            decodeRun(first, count, *mPoint10V2, *mGpsTimeV2, *mRgbV2);
        } else if (point10Rgb) {
            decodeRun(first, count, *mPoint10V2, *mRgbV2);
        } else if (point10) {
            decodeRun(first, count, *mPoint10V2);
        } else {
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
        for (const Slot& slot : mSlots) {
            std::uint8_t* out = record + slot.offset;
            switch (slot.kind) {
            case Kind::Point10V1:
                mPoint10V1->decode(mDecoder, out);
                break;
            case Kind::Point10V2:
                mPoint10V2->decode(mDecoder, out);
                break;
            case Kind::GpsTimeV1:
                mGpsTimeV1->decode(mDecoder, out);
                break;
            case Kind::GpsTimeV2:
                mGpsTimeV2->decode(mDecoder, out);
                break;
            case Kind::RgbV1:
                mRgbV1->decode(mDecoder, out);
                break;
            case Kind::RgbV2:
                mRgbV2->decode(mDecoder, out);
                break;
            case Kind::ByteV1:
                mByteV1->decode(mDecoder, out);
                break;
            case Kind::ByteV2:
                mByteV2->decode(mDecoder, out);
                break;
            case Kind::WavePacketV1:
                mWavePacketV1->decode(mDecoder, out);
                break;
            default:
                break;
            }
        }
        if (mDecoder.overrun() > 0) {
            return;
        }
    }
}

std::size_t ChunkDecoder::layerCount() const {
    std::size_t layers = 0;
    if (mPoint14) {
        layers += Point14Decoder::LAYERS;
    }
    if (mLayeredRgb) {
        layers += mLayeredRgb->layers();
    }
    if (mLayeredByte) {
        layers += mLayeredByte->layers();
    }
    if (mLayeredWavePacket) {
        layers += mLayeredWavePacket->layers();
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
    std::size_t layer = 0;
    std::array<const std::uint8_t*, Point14Decoder::LAYERS> pointStarts{};
    std::array<std::uint32_t, Point14Decoder::LAYERS> pointSizes{};
    std::copy_n(starts.begin(), Point14Decoder::LAYERS, pointStarts.begin());
    std::copy_n(sizes.begin(), Point14Decoder::LAYERS, pointSizes.begin());
    mPoint14->start(records.data(), pointStarts, pointSizes);
    layer += Point14Decoder::LAYERS;
    const std::uint32_t channel = mPoint14->channel();
    for (const Slot& slot : mSlots) {
        const std::uint8_t* first = records.data() + slot.offset;
        switch (slot.kind) {
        case Kind::LayeredRgb:
            mLayeredRgb->start(first, channel, &starts[layer], &sizes[layer]);
            layer += mLayeredRgb->layers();
            break;
        case Kind::LayeredByte:
            mLayeredByte->start(first, channel, &starts[layer], &sizes[layer]);
            layer += mLayeredByte->layers();
            break;
        case Kind::LayeredWavePacket:
            mLayeredWavePacket->start(first, channel, &starts[layer], &sizes[layer]);
            layer += mLayeredWavePacket->layers();
            break;
        default:
            break;
        }
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
    return mPoint14->damaged() || (mLayeredRgb && mLayeredRgb->damaged()) ||
           (mLayeredByte && mLayeredByte->damaged()) || (mLayeredWavePacket && mLayeredWavePacket->damaged());
}

void ChunkDecoder::decodeLayeredRun(std::uint8_t* first, std::uint64_t count) {
    std::uint8_t* record = first;
    for (std::uint64_t point = 0; point < count; ++point, record += mRecordLength) {
        const std::uint32_t current = mPoint14->decode(record);
        for (const Slot& slot : mSlots) {
            std::uint8_t* out = record + slot.offset;
            switch (slot.kind) {
            case Kind::LayeredRgb:
                mLayeredRgb->decode(current, out);
                break;
            case Kind::LayeredByte:
                mLayeredByte->decode(current, out);
                break;
            case Kind::LayeredWavePacket:
                mLayeredWavePacket->decode(current, out);
                break;
            default:
                break;
            }
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
