#pragma once

#include "Laz/AdaptiveModels.h"
#include "Laz/ArithmeticEncoder.h"
#include "Laz/ChannelContexts.h"
#include "Laz/EncodedLayer.h"
#include "Laz/RgbDecoder.h"

#include <array>
#include <cstdint>

namespace Orvid::FileIoInterface::Las::Laz {

/// The inverse of RgbModels, for RGB12 version 2 and RGB14 and RGBNIR14 version 3: the red bytes as
/// differences to the last red, green and blue as corrections to red's change, and a grey colour (all
/// three equal) as one flag.
class RgbColourEncoder {
public:
    RgbColourEncoder();
    /// Encodes `rgb` after `last`; returns the flags coded: the bytes that changed (bits 0 to 5) and a
    /// colour other than grey (bit 6).
    std::uint32_t encode(ArithmeticEncoder& encoder, const Rgb& last, const Rgb& rgb);

private:
    /// The changes of one byte (low or high) of green and blue, which follow red's change `difference`.
    void encodeGreenBlue(ArithmeticEncoder& encoder, const std::array<std::uint32_t, 3>& bytes,
                         const std::array<std::uint32_t, 3>& last, std::int32_t difference,
                         std::uint32_t changed, std::uint32_t shift);

    SymbolModel mChanged;
    std::array<SymbolModel, 6> mDifferences;
};

/// RGB12 version 2, the inverse of RgbV2Decoder.
class RgbV2Encoder {
public:
    /// Takes the chunk's first record's colour, which is stored raw.
    void start(const std::uint8_t* first);
    void encode(ArithmeticEncoder& encoder, const std::uint8_t* record);

private:
    Rgb mLast{};
    RgbColourEncoder mColour;
};

/// The inverse of NirModels: each byte of the NIR value a difference to the last.
class NirEncoder {
public:
    NirEncoder();
    /// Encodes `nir` after `last`; returns the flags coded, of the bytes that changed.
    std::uint32_t encode(ArithmeticEncoder& encoder, std::uint16_t last, std::uint16_t nir);

private:
    SymbolModel mChanged;
    std::array<SymbolModel, 2> mDifferences;
};

/// RGB14 and RGBNIR14 version 3 of layered chunks, the inverse of LayeredRgbDecoder: the colour in one
/// layer and, with `nir`, the NIR value in another, with models kept apart per scanner channel.
class LayeredRgbEncoder {
public:
    explicit LayeredRgbEncoder(bool nir);
    /// Takes the chunk's first record's colour, which is stored raw, in the context `channel`.
    void start(const std::uint8_t* first, std::uint32_t channel);
    /// Encodes the next record's colour in the context that the point encoder gave.
    void encode(const std::uint8_t* record, std::uint32_t channel);
    /// Appends the bytes of the item's layers to `layers`; the encoder is spent.
    void finish(ChunkLayers& layers);

private:
    struct Encoders {
        RgbColourEncoder rgb;
        NirEncoder nir;
    };
    using Context = ChannelState<std::array<std::uint16_t, 4>, Encoders>;

    bool mNir;
    EncodedLayer mRgbLayer;
    EncodedLayer mNirLayer;
    ChannelContexts<Context> mContexts;
};

} // namespace Orvid::FileIoInterface::Las::Laz
