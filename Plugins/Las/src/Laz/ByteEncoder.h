#pragma once

#include "Laz/ArithmeticEncoder.h"
#include "Laz/ByteDecoder.h"
#include "Laz/ChannelContexts.h"
#include "Laz/EncodedLayer.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Orvid::FileIoInterface::Las::Laz {

/// BYTE version 2, the inverse of ByteV2Decoder: each extra byte as its difference to the same byte of
/// the last record, modulo 256.
class ByteV2Encoder {
public:
    explicit ByteV2Encoder(std::size_t count);
    /// Takes the chunk's first record's bytes, which are stored raw.
    void start(const std::uint8_t* first);
    void encode(ArithmeticEncoder& encoder, const std::uint8_t* record);

private:
    std::vector<std::uint8_t> mLast;
    ByteModels mModels;
};

/// BYTE14 version 3 of layered chunks, the inverse of LayeredByteDecoder: each extra byte in a layer of
/// its own, with models kept apart per scanner channel.
class LayeredByteEncoder {
public:
    explicit LayeredByteEncoder(std::size_t count);
    /// Takes the chunk's first record's bytes, which are stored raw, in the context `channel`.
    void start(const std::uint8_t* first, std::uint32_t channel);
    /// Encodes the next record's bytes in the context that the point encoder gave.
    void encode(const std::uint8_t* record, std::uint32_t channel);
    /// Appends the bytes of the item's layers to `layers`; the encoder is spent.
    void finish(ChunkLayers& layers);

private:
    std::vector<EncodedLayer> mLayers;
    ChannelContexts<LayeredByteContext> mContexts;
};

} // namespace Orvid::FileIoInterface::Las::Laz
