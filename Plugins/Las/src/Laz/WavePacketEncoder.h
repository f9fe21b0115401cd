#pragma once

#include "Laz/ArithmeticEncoder.h"
#include "Laz/IntegerEncoder.h"
#include "Laz/WavePacketDecoder.h"

#include <cstdint>

namespace Orvid::FileIoInterface::Las::Laz {

/// WAVEPACKET13 version 1, the inverse of WavePacketV1Decoder: the descriptor index, the byte offset
/// as the last one, the end of the last packet, a 32-bit difference or stored whole, then sizes,
/// return point and x(t), y(t), z(t) predicted from the last.
class WavePacketV1Encoder {
public:
    /// Takes the chunk's first record's wave packet, which is stored raw.
    void start(const std::uint8_t* first);
    void encode(ArithmeticEncoder& encoder, const std::uint8_t* record);

private:
    void encodeOffset(ArithmeticEncoder& encoder, std::uint64_t offset);

    WavePacket mLast{};
    WavePacketState<IntegerEncoder> mState;
};

} // namespace Orvid::FileIoInterface::Las::Laz
