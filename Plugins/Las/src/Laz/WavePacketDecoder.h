#pragma once

#include "Laz/AdaptiveModels.h"
#include "Laz/ArithmeticDecoder.h"
#include "Laz/ChannelContexts.h"
#include "Laz/DecoderBuild.h"
#include "Laz/IntegerDecoder.h"
#include "Laz/LayerStream.h"

#include <array>
#include <cstdint>

LAZ_DECODER_TARGET_BEGIN
namespace Orvid::FileIoInterface::Las::Laz {
inline namespace LAZ_DECODER_BUILD {

/// The 29-byte wave packet block: descriptor index, then the 28 bytes that the models predict.
using WavePacket = std::array<std::uint8_t, 29>;

/// Where the fields of a wave packet block lie, after its descriptor index.
struct WavePacketField {
    static constexpr std::size_t OFFSET = 1;
    static constexpr std::size_t PACKET_SIZE = 9;
    static constexpr std::size_t RETURN_POINT = 13;
    static constexpr std::size_t XYZ = 17;
};

/// The wave packet models and the offset history that they predict from, kept alike by the encoder
/// and the decoder; `Integer` is the integer decoder or encoder.
template <typename Integer>
struct WavePacketState {
    std::int32_t lastOffsetDifference = 0;
    std::uint32_t lastOffsetCode = 0;
    SymbolModel descriptorIndex{256};
    std::array<SymbolModel, 4> offsetCode{SymbolModel(4), SymbolModel(4), SymbolModel(4), SymbolModel(4)};
    Integer offsetDifference{32};
    Integer packetSize{32};
    Integer returnPoint{32};
    Integer xyz{32, 3};
};

/// The wave packet models of WAVEPACKET13 version 1 and WAVEPACKET14 version 3: the byte offset as
/// the last one, the end of the last packet, a difference or stored whole; sizes, return point and
/// x(t), y(t), z(t) predicted from the last.
class WavePacketModels {
public:
    void reset();
    WavePacket decode(ArithmeticDecoder& decoder, const WavePacket& last);

private:
    WavePacketState<IntegerDecoder> mState;
};

/// WAVEPACKET13 version 1.
class WavePacketV1Decoder {
public:
    void start(const std::uint8_t* first);
    void decode(ArithmeticDecoder& decoder, std::uint8_t* out);

private:
    WavePacket mLast{};
    WavePacketModels mModels;
};

/// WAVEPACKET14 version 3 of layered chunks: one layer, models kept apart per scanner channel.
class LayeredWavePacketDecoder {
public:
    std::size_t layers() const { return 1; }
    void start(const std::uint8_t* first, std::uint32_t channel, const std::uint8_t* const* layers,
               const std::uint32_t* sizes);
    void decode(std::uint32_t channel, std::uint8_t* out);
    bool damaged() const { return mLayer.damaged(); }

private:
    using Context = ChannelState<WavePacket, WavePacketModels>;

    LayerStream mLayer;
    ChannelContexts<Context> mContexts;
};

} // namespace LAZ_DECODER_BUILD
} // namespace Orvid::FileIoInterface::Las::Laz
LAZ_DECODER_TARGET_END
