#pragma once

#include "Laz/AdaptiveModels.h"
#include "Laz/ArithmeticDecoder.h"
#include "Laz/ChannelContexts.h"
#include "Laz/IntegerDecoder.h"
#include "Laz/LayerStream.h"

#include <array>
#include <cstdint>

namespace Orvid::FileIoInterface::Las::Laz {

using Rgb = std::array<std::uint16_t, 3>;

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
    Rgb decode(ArithmeticDecoder& decoder, const Rgb& last);

private:
    SymbolModel mChanged;
    std::array<SymbolModel, 6> mDifferences;
};

/// RGB12 version 2.
class RgbV2Decoder {
public:
    void start(const std::uint8_t* first);
    void decode(ArithmeticDecoder& decoder, std::uint8_t* out);

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
    struct Context {
        using Value = std::array<std::uint16_t, 4>;
        explicit Context(const Value& from)
            : last(from) {}
        Value last;
        RgbModels rgb;
        NirModels nir;
    };

    bool mNir;
    LayerStream mRgbLayer;
    LayerStream mNirLayer;
    ChannelContexts<Context> mContexts;
};

void storeRgb(std::uint8_t* out, const Rgb& rgb);
Rgb loadRgb(const std::uint8_t* bytes);

} // namespace Orvid::FileIoInterface::Las::Laz
