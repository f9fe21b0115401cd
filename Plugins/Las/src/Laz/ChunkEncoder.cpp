#include "Laz/ChunkEncoder.h"

#include "Laz/ArithmeticEncoder.h"
#include "Laz/ByteEncoder.h"
#include "Laz/GpsTimeEncoder.h"
#include "Laz/Point10Encoder.h"
#include "Laz/RgbEncoder.h"
#include "Laz/WavePacketEncoder.h"

#include <stdexcept>
#include <string>
#include <variant>

namespace Orvid::FileIoInterface::Las::Laz {

namespace {

using ItemEncoder =
    std::variant<Point10V2Encoder, GpsTimeV2Encoder, RgbV2Encoder, WavePacketV1Encoder, ByteV2Encoder>;

ItemEncoder makeItemEncoder(const LazItem& item) {
    switch (item.type) {
    case ItemType::Point10:
        return Point10V2Encoder();
    case ItemType::GpsTime11:
        return GpsTimeV2Encoder();
    case ItemType::Rgb12:
        return RgbV2Encoder();
    case ItemType::WavePacket13:
        return WavePacketV1Encoder();
    default:
        return ByteV2Encoder(item.size);
    }
}

std::size_t itemSize(ItemType type) {
    switch (type) {
    case ItemType::Point10:
        return Point10Fields::SIZE;
    case ItemType::GpsTime11:
        return sizeof(std::uint64_t);
    case ItemType::Rgb12:
        return sizeof(Rgb);
    case ItemType::WavePacket13:
        return sizeof(WavePacket);
    default:
        return 0;
    }
}

bool writesPointWise(const LazItem& item) {
    if (item.type == ItemType::WavePacket13) {
        return item.version == 1 && item.size == sizeof(WavePacket);
    }
    const bool known = item.type == ItemType::Point10 || item.type == ItemType::GpsTime11 ||
                       item.type == ItemType::Rgb12 || item.type == ItemType::Byte;
    return known && item.version == 2 && (item.type == ItemType::Byte || item.size == itemSize(item.type));
}

} // namespace

bool ChunkEncoder::writes(const LazItem& item) {
    return writesPointWise(item) || writesLayered(item);
}

ChunkEncoder::ChunkEncoder(const LazDescription& description, std::uint16_t recordLength)
    : mRecordLength(recordLength)
    , mLayered(description.compressor == Compressor::LayeredChunked) {
    if (!mLayered && description.compressor != Compressor::PointWiseChunked &&
        description.compressor != Compressor::PointWise) {
        throw std::invalid_argument("LAZ chunk encoder: only point-wise and layered compression are written");
    }
    std::size_t offset = 0;
    for (const LazItem& item : description.items) {
        // Layered records start with POINT14, and only there: its decoder reads a record's first bytes
        // and leads the other items.
        const bool fits = mLayered ? writesLayered(item) && (item.type == ItemType::Point14) == mSlots.empty()
                                   : writesPointWise(item);
        if (!fits) {
            throw std::invalid_argument("LAZ chunk encoder: cannot write items " +
                                        description.describeItems());
        }
        mSlots.push_back({item, offset});
        offset += item.size;
    }
    if (mSlots.empty() || offset != mRecordLength) {
        throw std::invalid_argument("LAZ chunk encoder: items of " + std::to_string(offset) +
                                    " bytes for records of " + std::to_string(mRecordLength));
    }
}

std::vector<std::uint8_t> ChunkEncoder::encode(const std::uint8_t* records, std::size_t points) const {
    if (mLayered) {
        return encodeLayeredChunk(mSlots, mRecordLength, records, points);
    }
    std::vector<ItemEncoder> items;
    items.reserve(mSlots.size());
    for (const ItemSlot& slot : mSlots) {
        items.push_back(makeItemEncoder(slot.item));
        std::visit([&](auto& item) { item.start(records + slot.offset); }, items.back());
    }
    ArithmeticEncoder encoder;
    for (std::size_t point = 1; point < points; ++point) {
        const std::uint8_t* record = records + point * mRecordLength;
        for (std::size_t index = 0; index < items.size(); ++index) {
            std::visit([&](auto& item) { item.encode(encoder, record + mSlots[index].offset); },
                       items[index]);
        }
    }
    // The first record leads the chunk as it is; the coded stream follows.
    std::vector<std::uint8_t> chunk(records, records + mRecordLength);
    const std::vector<std::uint8_t> stream = encoder.finish();
    chunk.insert(chunk.end(), stream.begin(), stream.end());
    return chunk;
}

} // namespace Orvid::FileIoInterface::Las::Laz
