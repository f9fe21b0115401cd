#include "Laz/WavePacketEncoder.h"

#include "Raw/ByteCursor.h"

#include <algorithm>

namespace Orvid::FileIoInterface::Las::Laz {

namespace {

constexpr std::size_t OFFSET = WavePacketField::OFFSET;
constexpr std::size_t PACKET_SIZE = WavePacketField::PACKET_SIZE;
constexpr std::size_t RETURN_POINT = WavePacketField::RETURN_POINT;
constexpr std::size_t XYZ = WavePacketField::XYZ;

// Codes of the byte offset: as the last, at the end of the last packet, a difference, stored whole.
constexpr std::uint32_t OFFSET_SAME = 0;
constexpr std::uint32_t OFFSET_AFTER_LAST = 1;
constexpr std::uint32_t OFFSET_DIFFERENCE = 2;
constexpr std::uint32_t OFFSET_WHOLE = 3;

std::int32_t field(const std::uint8_t* packet, std::size_t at) {
    return Raw::load<std::int32_t>(packet + at);
}

} // namespace

void WavePacketFieldsEncoder::encode(ArithmeticEncoder& encoder, const WavePacket& last,
                                     const std::uint8_t* record) {
    encoder.encodeSymbol(mState.descriptorIndex, record[0]);
    encodeOffset(encoder, last, Raw::load<std::uint64_t>(record + OFFSET));
    mState.packetSize.encode(encoder, field(last.data(), PACKET_SIZE), field(record, PACKET_SIZE));
    mState.returnPoint.encode(encoder, field(last.data(), RETURN_POINT), field(record, RETURN_POINT));
    for (std::uint32_t axis = 0; axis < 3; ++axis) {
        const std::size_t at = XYZ + std::size_t{4} * axis;
        mState.xyz.encode(encoder, field(last.data(), at), field(record, at), axis);
    }
}

void WavePacketFieldsEncoder::encodeOffset(ArithmeticEncoder& encoder, const WavePacket& last,
                                           std::uint64_t offset) {
    const std::uint64_t wide = offset - Raw::load<std::uint64_t>(last.data() + OFFSET);
    const auto difference = static_cast<std::int32_t>(static_cast<std::uint32_t>(wide));
    std::uint32_t code = OFFSET_WHOLE;
    if (static_cast<std::int64_t>(wide) == difference) {
        // The last packet's size compared as a signed 32-bit value, as the widely used encoder does.
        code = difference == 0                                 ? OFFSET_SAME
               : difference == field(last.data(), PACKET_SIZE) ? OFFSET_AFTER_LAST
                                                               : OFFSET_DIFFERENCE;
    }
    encoder.encodeSymbol(mState.offsetCode[mState.lastOffsetCode], code);
    mState.lastOffsetCode = code;
    if (code == OFFSET_DIFFERENCE) {
        mState.offsetDifference.encode(encoder, mState.lastOffsetDifference, difference);
        mState.lastOffsetDifference = difference;
    } else if (code == OFFSET_WHOLE) {
        encoder.writeInt(static_cast<std::uint32_t>(offset));
        encoder.writeInt(static_cast<std::uint32_t>(offset >> 32));
    }
}

void WavePacketV1Encoder::start(const std::uint8_t* first) {
    std::copy_n(first, mLast.size(), mLast.begin());
}

void WavePacketV1Encoder::encode(ArithmeticEncoder& encoder, const std::uint8_t* record) {
    mFields.encode(encoder, mLast, record);
    std::copy_n(record, mLast.size(), mLast.begin());
}

void LayeredWavePacketEncoder::start(const std::uint8_t* first, std::uint32_t channel) {
    WavePacket value{};
    std::copy_n(first, value.size(), value.begin());
    mContexts.start(channel, [&value] { return std::make_unique<Context>(value); });
}

void LayeredWavePacketEncoder::encode(const std::uint8_t* record, std::uint32_t channel) {
    WavePacket* last = nullptr;
    Context& context = mContexts.select(
        channel, last, [](const WavePacket& from) { return std::make_unique<Context>(from); });
    mLayer.noteChange(!std::equal(last->begin(), last->end(), record));
    context.models.encode(mLayer.encoder(), *last, record);
    std::copy_n(record, last->size(), last->begin());
}

void LayeredWavePacketEncoder::finish(ChunkLayers& layers) {
    layers.push_back(mLayer.finish());
}

} // namespace Orvid::FileIoInterface::Las::Laz
