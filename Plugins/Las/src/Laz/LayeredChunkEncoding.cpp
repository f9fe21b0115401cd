#include "Laz/LayeredChunkEncoding.h"

#include "Laz/ByteEncoder.h"
#include "Laz/EncodedLayer.h"
#include "Laz/Point14Encoder.h"
#include "Laz/RgbEncoder.h"
#include "Laz/WavePacketEncoder.h"
#include "Raw/ByteCursor.h"

#include <limits>
#include <stdexcept>
#include <string>
#include <variant>

namespace Orvid::FileIoInterface::Las::Laz {

namespace {

constexpr std::uint16_t LAYERED_VERSION = 3;

// The items after POINT14, each encoding from its own layers in the context that POINT14 gives.
using FollowingEncoder = std::variant<LayeredRgbEncoder, LayeredByteEncoder, LayeredWavePacketEncoder>;

FollowingEncoder makeFollowingEncoder(const LazItem& item) {
    switch (item.type) {
    case ItemType::Rgb14:
    case ItemType::RgbNir14:
        return LayeredRgbEncoder(item.type == ItemType::RgbNir14);
    case ItemType::WavePacket14:
        return LayeredWavePacketEncoder();
    default:
        return LayeredByteEncoder(item.size);
    }
}

// The bytes that a little-endian 32-bit count takes.
constexpr std::size_t COUNT_SIZE = 4;

void appendCount(std::vector<std::uint8_t>& bytes, std::size_t count, const char* what) {
    if (count > std::numeric_limits<std::uint32_t>::max()) {
        throw std::invalid_argument(std::string("LAZ layered chunk: more ") + what +
                                    " than a 32-bit count holds");
    }
    const std::size_t at = bytes.size();
    bytes.resize(at + COUNT_SIZE);
    Raw::store(bytes.data() + at, static_cast<std::uint32_t>(count));
}

} // namespace

bool writesLayered(const LazItem& item) {
    if (item.version != LAYERED_VERSION) {
        return false;
    }
    switch (item.type) {
    case ItemType::Point14:
        return item.size == Point14Fields::SIZE;
    case ItemType::Rgb14:
        return item.size == sizeof(Rgb);
    case ItemType::RgbNir14:
        return item.size == sizeof(Rgb) + sizeof(std::uint16_t);
    case ItemType::WavePacket14:
        return item.size == sizeof(WavePacket);
    case ItemType::Byte14:
        return item.size > 0;
    default:
        return false;
    }
}

std::vector<std::uint8_t> encodeLayeredChunk(const std::vector<ItemSlot>& slots, std::size_t recordLength,
                                             const std::uint8_t* records, std::size_t points) {
    Point14Encoder point;
    const std::uint32_t channel = point.start(records);
    std::vector<FollowingEncoder> following;
    following.reserve(slots.size() - 1);
    for (std::size_t index = 1; index < slots.size(); ++index) {
        following.push_back(makeFollowingEncoder(slots[index].item));
        std::visit([&](auto& item) { item.start(records + slots[index].offset, channel); }, following.back());
    }
    for (std::size_t index = 1; index < points; ++index) {
        const std::uint8_t* record = records + index * recordLength;
        const std::uint32_t context = point.encode(record);
        for (std::size_t item = 0; item < following.size(); ++item) {
            std::visit([&](auto& encoder) { encoder.encode(record + slots[item + 1].offset, context); },
                       following[item]);
        }
    }
    ChunkLayers layers;
    point.finish(layers);
    for (FollowingEncoder& item : following) {
        std::visit([&layers](auto& encoder) { encoder.finish(layers); }, item);
    }

    std::vector<std::uint8_t> chunk(records, records + recordLength);
    appendCount(chunk, points, "points");
    for (const std::vector<std::uint8_t>& layer : layers) {
        appendCount(chunk, layer.size(), "layer bytes");
    }
    for (const std::vector<std::uint8_t>& layer : layers) {
        chunk.insert(chunk.end(), layer.begin(), layer.end());
    }
    return chunk;
}

} // namespace Orvid::FileIoInterface::Las::Laz
