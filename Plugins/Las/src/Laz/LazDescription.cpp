#include "Laz/LazDescription.h"

#include "Raw/ByteCursor.h"

#include <array>

namespace Orvid::FileIoInterface::Las::Laz {

namespace {

constexpr std::size_t FIXED_SIZE = 34;
constexpr std::size_t ITEM_SIZE = 6;
constexpr std::uint8_t FIRST_EXTENDED_FORMAT = 6;
// The version of the widely used encoder whose chunks ours reproduce, as its files state it.
constexpr std::uint8_t ENCODER_VERSION_MAJOR = 3;
constexpr std::uint8_t ENCODER_VERSION_MINOR = 5;
constexpr std::uint16_t ENCODER_REVISION = 0;
constexpr std::uint16_t ARITHMETIC_CODER = 0;

const char* nameOf(ItemType type) {
    switch (type) {
    case ItemType::Byte:
        return "BYTE";
    case ItemType::Point10:
        return "POINT10";
    case ItemType::GpsTime11:
        return "GPSTIME11";
    case ItemType::Rgb12:
        return "RGB12";
    case ItemType::WavePacket13:
        return "WAVEPACKET13";
    case ItemType::Point14:
        return "POINT14";
    case ItemType::Rgb14:
        return "RGB14";
    case ItemType::RgbNir14:
        return "RGBNIR14";
    case ItemType::WavePacket14:
        return "WAVEPACKET14";
    case ItemType::Byte14:
        return "BYTE14";
    }
    return "unknown";
}

// The items each point format is made of, in record order, extra bytes aside.
std::vector<ItemType> itemsOf(std::uint8_t format) {
    using T = ItemType;
    switch (format) {
    case 0:
        return {T::Point10};
    case 1:
        return {T::Point10, T::GpsTime11};
    case 2:
        return {T::Point10, T::Rgb12};
    case 3:
        return {T::Point10, T::GpsTime11, T::Rgb12};
    case 4:
        return {T::Point10, T::GpsTime11, T::WavePacket13};
    case 5:
        return {T::Point10, T::GpsTime11, T::Rgb12, T::WavePacket13};
    case 6:
        return {T::Point14};
    case 7:
        return {T::Point14, T::Rgb14};
    case 8:
        return {T::Point14, T::RgbNir14};
    case 9:
        return {T::Point14, T::WavePacket14};
    default:
        return {T::Point14, T::RgbNir14, T::WavePacket14};
    }
}

std::uint16_t fixedSizeOf(ItemType type) {
    switch (type) {
    case ItemType::Point10:
        return 20;
    case ItemType::GpsTime11:
        return 8;
    case ItemType::Rgb12:
    case ItemType::Rgb14:
        return 6;
    case ItemType::WavePacket13:
    case ItemType::WavePacket14:
        return 29;
    case ItemType::Point14:
        return 30;
    case ItemType::RgbNir14:
        return 8;
    case ItemType::Byte:
    case ItemType::Byte14:
        return 0;
    }
    return 0;
}

bool versionIsKnown(const LazItem& item) {
    switch (item.type) {
    case ItemType::Point10:
    case ItemType::GpsTime11:
    case ItemType::Rgb12:
    case ItemType::Byte:
        return item.version == 1 || item.version == 2;
    case ItemType::WavePacket13:
        return item.version == 1;
    case ItemType::Point14:
    case ItemType::Rgb14:
    case ItemType::RgbNir14:
    case ItemType::Byte14:
        // Version 2 of these items was an early name of version 3.
        return item.version == 2 || item.version == 3;
    case ItemType::WavePacket14:
        return item.version == 3;
    }
    return false;
}

// The version that the encoders write of each item.
std::uint16_t writtenVersionOf(ItemType type) {
    switch (type) {
    case ItemType::WavePacket13:
        return 1;
    case ItemType::Point10:
    case ItemType::GpsTime11:
    case ItemType::Rgb12:
    case ItemType::Byte:
        return 2;
    default:
        return 3;
    }
}

std::string itemText(const LazItem& item) {
    return std::string(nameOf(item.type)) + " " + std::to_string(item.version);
}

} // namespace

LazDescription LazDescription::forRecords(std::uint8_t pointFormat, std::uint16_t extraBytes,
                                          std::uint32_t chunkSize) {
    const bool extended = pointFormat >= FIRST_EXTENDED_FORMAT;
    LazDescription description;
    description.compressor = extended ? Compressor::LayeredChunked : Compressor::PointWiseChunked;
    description.chunkSize = chunkSize;
    for (const ItemType type : itemsOf(pointFormat)) {
        description.items.push_back({type, fixedSizeOf(type), writtenVersionOf(type)});
    }
    if (extraBytes != 0) {
        const ItemType type = extended ? ItemType::Byte14 : ItemType::Byte;
        description.items.push_back({type, extraBytes, writtenVersionOf(type)});
    }
    return description;
}

std::vector<std::uint8_t> LazDescription::encode() const {
    std::vector<std::uint8_t> payload(FIXED_SIZE + ITEM_SIZE * items.size());
    Raw::ByteWriter writer(payload.data());
    writer.write(static_cast<std::uint16_t>(compressor));
    writer.write(ARITHMETIC_CODER);
    writer.write(ENCODER_VERSION_MAJOR);
    writer.write(ENCODER_VERSION_MINOR);
    writer.write(ENCODER_REVISION);
    writer.write(std::uint32_t{0});
    writer.write(chunkSize);
    // No special extended records: their count and offset are -1.
    writer.write(std::int64_t{-1});
    writer.write(std::int64_t{-1});
    writer.write(static_cast<std::uint16_t>(items.size()));
    for (const LazItem& item : items) {
        writer.write(static_cast<std::uint16_t>(item.type));
        writer.write(item.size);
        writer.write(item.version);
    }
    return payload;
}

std::string LazDescription::describeItems() const {
    std::string text;
    for (const LazItem& item : items) {
        text += (text.empty() ? "" : ", ") + itemText(item);
    }
    return text;
}

std::string LazDescription::parse(const std::vector<std::uint8_t>& payload, std::uint8_t pointFormat,
                                  std::uint16_t recordLength, LazDescription& description) {
    if (payload.size() < FIXED_SIZE) {
        return "has " + std::to_string(payload.size()) + " bytes, fewer than the 34 it needs";
    }
    Raw::ByteReader reader(payload.data());
    const auto compressor = reader.read<std::uint16_t>();
    const auto coder = reader.read<std::uint16_t>();
    reader.skip(CHUNK_SIZE_OFFSET - reader.position()); // version, revision, options
    description.chunkSize = reader.read<std::uint32_t>();
    reader.skip(16); // special extended records, unused
    const auto count = reader.read<std::uint16_t>();
    if (payload.size() != FIXED_SIZE + ITEM_SIZE * count) {
        return "has " + std::to_string(payload.size()) + " bytes for " + std::to_string(count) + " items (" +
               std::to_string(FIXED_SIZE + ITEM_SIZE * count) + " expected)";
    }
    if (compressor < 1 || compressor > 3) {
        return "names compressor " + std::to_string(compressor) + ", not 1, 2 or 3";
    }
    description.compressor = static_cast<Compressor>(compressor);
    if (coder != 0) {
        return "names coder " + std::to_string(coder) + ", not the arithmetic coder 0";
    }
    description.items.clear();
    for (std::uint16_t index = 0; index < count; ++index) {
        LazItem item;
        item.type = static_cast<ItemType>(reader.read<std::uint16_t>());
        item.size = reader.read<std::uint16_t>();
        item.version = reader.read<std::uint16_t>();
        description.items.push_back(item);
    }

    const bool extended = pointFormat >= FIRST_EXTENDED_FORMAT;
    std::string mismatch =
        "(" + description.describeItems() + ") does not match point format " + std::to_string(pointFormat);
    std::vector<ItemType> expected = itemsOf(pointFormat);
    if (description.items.size() == expected.size() + 1) {
        expected.push_back(extended ? ItemType::Byte14 : ItemType::Byte);
    }
    if (description.items.size() != expected.size()) {
        return mismatch;
    }
    std::size_t total = 0;
    for (std::size_t index = 0; index < expected.size(); ++index) {
        const LazItem& item = description.items[index];
        if (item.type != expected[index]) {
            return mismatch;
        }
        if (!versionIsKnown(item)) {
            return "item " + itemText(item) + " is not a version this reader decodes";
        }
        const std::uint16_t fixed = fixedSizeOf(item.type);
        if ((fixed != 0 && item.size != fixed) || item.size == 0) {
            return "item " + itemText(item) + " has " + std::to_string(item.size) + " bytes";
        }
        total += item.size;
    }
    if (total != recordLength) {
        return "items (" + description.describeItems() + ") make records of " + std::to_string(total) +
               " bytes, not the " + std::to_string(recordLength) + " of the header";
    }
    const bool layered = description.compressor == Compressor::LayeredChunked;
    if (layered != extended) {
        return "compressor " + std::to_string(compressor) + " does not match point format " +
               std::to_string(pointFormat);
    }
    if (description.chunkSize == 0) {
        // A zero chunk size leaves each chunk's point count to the chunk table.
        description.chunkSize = VARIABLE_CHUNK_SIZE;
    }
    return {};
}

} // namespace Orvid::FileIoInterface::Las::Laz
