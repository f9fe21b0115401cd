#pragma once

#include "Laz/AdaptiveModels.h"
#include "Laz/ArithmeticDecoder.h"
#include "Laz/ChannelContexts.h"
#include "Laz/DecoderBuild.h"
#include "Laz/IntegerDecoder.h"
#include "Laz/LayerStream.h"
#include "Raw/ByteCursor.h"

#include <algorithm>
#include <array>
#include <cstdint>

LAZ_DECODER_TARGET_BEGIN
namespace Orvid::FileIoInterface::Las::Laz {
inline namespace LAZ_DECODER_BUILD {

using Rgb = std::array<std::uint16_t, 3>;

inline std::uint32_t lowByte(std::uint16_t value) {
    return value & 0xFFu;
}

inline std::uint32_t highByte(std::uint16_t value) {
    return value >> 8;
}

// The predicted byte plus the decoded difference, modulo 256.
inline std::uint32_t plusByte(std::uint32_t difference, std::int32_t prediction) {
    return (difference + static_cast<std::uint32_t>(prediction)) & 0xFFu;
}

inline std::int32_t clampToByte(std::int32_t value) {
    return std::clamp(value, 0, 255);
}

inline std::int32_t signedOf(std::uint32_t value) {
    return static_cast<std::int32_t>(value);
}

/// RGB12 version 1: each of the six colour bytes flagged as changed or not, the changed ones
/// predicted from the last.
class RgbV1Decoder {
public:
    RgbV1Decoder();
    void start(const std::uint8_t* first);
    void decode(ArithmeticDecoder& decoder, std::uint8_t* out);

private:
    Rgb mLast{};
    SymbolModel mChanged;
    IntegerDecoder mBytes;
};

/// The colour models of RGB12 version 2 and of RGB14 and RGBNIR14 version 3: the red bytes as
/// differences to the last red, green and blue predicted from red's change, and grey colours (all
/// three equal) in one flag.
class RgbModels {
public:
    RgbModels();
    void reset();
    LAZ_INLINE Rgb decode(ArithmeticDecoder& decoder, const Rgb& last);

private:
    SymbolModel mChanged;
    std::array<SymbolModel, 6> mDifferences;
};

/// RGB12 version 2.
class RgbV2Decoder {
public:
    /// Bytes of the record that the item fills.
    static constexpr std::size_t SIZE = 6;

    void start(const std::uint8_t* first);
    LAZ_INLINE void decode(ArithmeticDecoder& decoder, std::uint8_t* out);

private:
    Rgb mLast{};
    RgbModels mModels;
};

/// The NIR models of RGBNIR14 version 3: each byte a difference to the last.
class NirModels {
public:
    NirModels();
    void reset();
    std::uint16_t decode(ArithmeticDecoder& decoder, std::uint16_t last);

private:
    SymbolModel mChanged;
    std::array<SymbolModel, 2> mDifferences;
};

/// RGB14 and RGBNIR14 version 3 of layered chunks: the colour in one layer and, with `nir`, the NIR
/// value in another, with models kept apart per scanner channel.
class LayeredRgbDecoder {
public:
    explicit LayeredRgbDecoder(bool nir);
    /// Layers of the item: 1, or 2 with NIR.
    std::size_t layers() const { return mNir ? 2 : 1; }
    void start(const std::uint8_t* first, std::uint32_t channel, const std::uint8_t* const* layers,
               const std::uint32_t* sizes);
    void decode(std::uint32_t channel, std::uint8_t* out);
    bool damaged() const { return mRgbLayer.damaged() || mNirLayer.damaged(); }

private:
    struct Models {
        RgbModels rgb;
        NirModels nir;
    };
    using Context = ChannelState<std::array<std::uint16_t, 4>, Models>;

    bool mNir;
    LayerStream mRgbLayer;
    LayerStream mNirLayer;
    ChannelContexts<Context> mContexts;
};

inline void storeRgb(std::uint8_t* out, const Rgb& rgb) {
    Raw::store(out, rgb[0]);
    Raw::store(out + 2, rgb[1]);
    Raw::store(out + 4, rgb[2]);
}

inline Rgb loadRgb(const std::uint8_t* bytes) {
    return {Raw::load<std::uint16_t>(bytes), Raw::load<std::uint16_t>(bytes + 2),
            Raw::load<std::uint16_t>(bytes + 4)};
}

Rgb RgbModels::decode(ArithmeticDecoder& decoder, const Rgb& last) {
    const std::uint32_t changed = decoder.decodeSymbol(mChanged);
    std::uint32_t redLow = lowByte(last[0]);
    if ((changed & 1) != 0) {
        redLow = plusByte(decoder.decodeSymbol(mDifferences[0]), signedOf(redLow));
    }
    std::uint32_t redHigh = highByte(last[0]);
    if ((changed & 2) != 0) {
        redHigh = plusByte(decoder.decodeSymbol(mDifferences[1]), signedOf(redHigh));
    }
    const auto red = static_cast<std::uint16_t>(redLow | (redHigh << 8));
    if ((changed & 64) == 0) {
        return {red, red, red};
    }
    // Green follows red's change, blue the mean of red's and green's.
    std::int32_t difference = signedOf(redLow) - signedOf(lowByte(last[0]));
    std::uint32_t greenLow = lowByte(last[1]);
    if ((changed & 4) != 0) {
        greenLow = plusByte(decoder.decodeSymbol(mDifferences[2]),
                            clampToByte(difference + signedOf(lowByte(last[1]))));
    }
    std::uint32_t blueLow = lowByte(last[2]);
    if ((changed & 16) != 0) {
        difference = (difference + signedOf(greenLow) - signedOf(lowByte(last[1]))) / 2;
        blueLow = plusByte(decoder.decodeSymbol(mDifferences[4]),
                           clampToByte(difference + signedOf(lowByte(last[2]))));
    }
    difference = signedOf(redHigh) - signedOf(highByte(last[0]));
    std::uint32_t greenHigh = highByte(last[1]);
    if ((changed & 8) != 0) {
        greenHigh = plusByte(decoder.decodeSymbol(mDifferences[3]),
                             clampToByte(difference + signedOf(highByte(last[1]))));
    }
    std::uint32_t blueHigh = highByte(last[2]);
    if ((changed & 32) != 0) {
        difference = (difference + signedOf(greenHigh) - signedOf(highByte(last[1]))) / 2;
        blueHigh = plusByte(decoder.decodeSymbol(mDifferences[5]),
                            clampToByte(difference + signedOf(highByte(last[2]))));
    }
    return {red, static_cast<std::uint16_t>(greenLow | (greenHigh << 8)),
            static_cast<std::uint16_t>(blueLow | (blueHigh << 8))};
}

void RgbV2Decoder::decode(ArithmeticDecoder& decoder, std::uint8_t* out) {
    mLast = mModels.decode(decoder, mLast);
    storeRgb(out, mLast);
}

} // namespace LAZ_DECODER_BUILD
} // namespace Orvid::FileIoInterface::Las::Laz
LAZ_DECODER_TARGET_END
