#pragma once

#include "Laz/ArithmeticEncoder.h"
#include "Laz/ChannelContexts.h"
#include "Laz/EncodedLayer.h"
#include "Laz/IntegerEncoder.h"
#include "Laz/WavePacketDecoder.h"

#include <cstdint>

namespace Orvid::FileIoInterface::Las::Laz {

/// The inverse of WavePacketModels, for WAVEPACKET13 version 1 and WAVEPACKET14 version 3: the
/// descriptor index, the byte offset as the last one, the end of the last packet, a 32-bit difference or
/// stored whole, then sizes, return point and x(t), y(t), z(t) predicted from the last.
class WavePacketFieldsEncoder {
public:
    /// Encodes the wave packet block at `record` after `last`.
    void encode(ArithmeticEncoder& encoder, const WavePacket& last, const std::uint8_t* record);

private:
    void encodeOffset(ArithmeticEncoder& encoder, const WavePacket& last, std::uint64_t offset);

    WavePacketState<IntegerEncoder> mState;
};

/// WAVEPACKET13 version 1, the inverse of WavePacketV1Decoder.
class WavePacketV1Encoder {
public:
    /// Takes the chunk's first record's wave packet, which is stored raw.
    void start(const std::uint8_t* first);
    void encode(ArithmeticEncoder& encoder, const std::uint8_t* record);

private:
    WavePacket mLast{};
    WavePacketFieldsEncoder mFields;
};

/// WAVEPACKET14 version 3 of layered chunks, the inverse of LayeredWavePacketDecoder: one layer, models
/// kept apart per scanner channel.
class LayeredWavePacketEncoder {
public:
    /// Takes the chunk's first record's wave packet, which is stored raw, in the context `channel`.
    void start(const std::uint8_t* first, std::uint32_t channel);
    /// Encodes the next record's wave packet in the context that the point encoder gave.
    void encode(const std::uint8_t* record, std::uint32_t channel);
    /// Appends the bytes of the item's layer to `layers`; the encoder is spent.
    void finish(ChunkLayers& layers);

private:
    using Context = ChannelState<WavePacket, WavePacketFieldsEncoder>;

    EncodedLayer mLayer;
    ChannelContexts<Context> mContexts;
};

} // namespace Orvid::FileIoInterface::Las::Laz
