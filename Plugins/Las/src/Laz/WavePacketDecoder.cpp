#include "Laz/WavePacketDecoder.h"

#include "Raw/ByteCursor.h"

#include <algorithm>

LAZ_DECODER_TARGET_BEGIN
namespace Orvid::FileIoInterface::Las::Laz {
inline namespace LAZ_DECODER_BUILD {

namespace {

constexpr std::size_t OFFSET = WavePacketField::OFFSET;
constexpr std::size_t PACKET_SIZE = WavePacketField::PACKET_SIZE;
constexpr std::size_t RETURN_POINT = WavePacketField::RETURN_POINT;
constexpr std::size_t XYZ = WavePacketField::XYZ;

std::int32_t field(const WavePacket& packet, std::size_t at) {
    return Raw::load<std::int32_t>(packet.data() + at);
}

} // namespace

void WavePacketModels::reset() {
    mState.lastOffsetDifference = 0;
    mState.lastOffsetCode = 0;
    mState.descriptorIndex.reset();
    for (SymbolModel& model : mState.offsetCode) {
        model.reset();
    }
    mState.offsetDifference.reset();
    mState.packetSize.reset();
    mState.returnPoint.reset();
    mState.xyz.reset();
}

WavePacket WavePacketModels::decode(ArithmeticDecoder& decoder, const WavePacket& last) {
    WavePacket packet{};
    packet[0] = static_cast<std::uint8_t>(decoder.decodeSymbol(mState.descriptorIndex));
    mState.lastOffsetCode = decoder.decodeSymbol(mState.offsetCode[mState.lastOffsetCode]);
    const auto lastOffset = Raw::load<std::uint64_t>(last.data() + OFFSET);
    std::uint64_t offset;
    switch (mState.lastOffsetCode) {
    case 0:
        offset = lastOffset;
        break;
    case 1:
        offset = lastOffset + Raw::load<std::uint32_t>(last.data() + PACKET_SIZE);
        break;
    case 2:
        mState.lastOffsetDifference = mState.offsetDifference.decode(decoder, mState.lastOffsetDifference);
        offset =
            lastOffset + static_cast<std::uint64_t>(static_cast<std::int64_t>(mState.lastOffsetDifference));
        break;
    default:
        offset = decoder.readInt64();
        break;
    }
    Raw::store(packet.data() + OFFSET, offset);
    Raw::store(packet.data() + PACKET_SIZE, mState.packetSize.decode(decoder, field(last, PACKET_SIZE)));
    Raw::store(packet.data() + RETURN_POINT, mState.returnPoint.decode(decoder, field(last, RETURN_POINT)));
    for (std::uint32_t axis = 0; axis < 3; ++axis) {
        const std::size_t at = XYZ + std::size_t{4} * axis;
        Raw::store(packet.data() + at, mState.xyz.decode(decoder, field(last, at), axis));
    }
    return packet;
}

void WavePacketV1Decoder::start(const std::uint8_t* first) {
    std::copy_n(first, mLast.size(), mLast.begin());
    mModels.reset();
}

void WavePacketV1Decoder::decode(ArithmeticDecoder& decoder, std::uint8_t* out) {
    mLast = mModels.decode(decoder, mLast);
    std::copy(mLast.begin(), mLast.end(), out);
}

void LayeredWavePacketDecoder::start(const std::uint8_t* first, std::uint32_t channel,
                                     const std::uint8_t* const* layers, const std::uint32_t* sizes) {
    mLayer.start(layers[0], sizes[0]);
    WavePacket value{};
    std::copy_n(first, value.size(), value.begin());
    mContexts.start(channel, [&value] { return std::make_unique<Context>(value); });
}

void LayeredWavePacketDecoder::decode(std::uint32_t channel, std::uint8_t* out) {
    WavePacket* last = nullptr;
    Context& context = mContexts.select(
        channel, last, [](const WavePacket& from) { return std::make_unique<Context>(from); });
    if (mLayer.present()) {
        *last = context.models.decode(mLayer.decoder(), *last);
    }
    std::copy(last->begin(), last->end(), out);
}

} // namespace LAZ_DECODER_BUILD
} // namespace Orvid::FileIoInterface::Las::Laz
LAZ_DECODER_TARGET_END
