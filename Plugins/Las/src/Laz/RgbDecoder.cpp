#include "Laz/RgbDecoder.h"

#include "Raw/ByteCursor.h"

#include <algorithm>

LAZ_DECODER_TARGET_BEGIN
namespace Orvid::FileIoInterface::Las::Laz {
inline namespace LAZ_DECODER_BUILD {

RgbV1Decoder::RgbV1Decoder()
    : mChanged(64)
    , mBytes(8, 6) {}

void RgbV1Decoder::start(const std::uint8_t* first) {
    mLast = loadRgb(first);
}

void RgbV1Decoder::decode(ArithmeticDecoder& decoder, std::uint8_t* out) {
    const std::uint32_t changed = decoder.decodeSymbol(mChanged);
    Rgb rgb{};
    for (std::uint32_t channel = 0; channel < 3; ++channel) {
        const std::uint16_t last = mLast[channel];
        const std::uint32_t lowBit = 1u << (2 * channel);
        const std::uint32_t low =
            (changed & lowBit) != 0
                ? static_cast<std::uint32_t>(mBytes.decode(decoder, signedOf(lowByte(last)), 2 * channel)) &
                      0xFFu
                : lowByte(last);
        const std::uint32_t high = (changed & (lowBit << 1)) != 0
                                       ? static_cast<std::uint32_t>(mBytes.decode(
                                             decoder, signedOf(highByte(last)), 2 * channel + 1)) &
                                             0xFFu
                                       : highByte(last);
        rgb[channel] = static_cast<std::uint16_t>(low | (high << 8));
    }
    mLast = rgb;
    storeRgb(out, rgb);
}

RgbModels::RgbModels()
    : mChanged(128)
    , mDifferences{SymbolModel(256), SymbolModel(256), SymbolModel(256),
                   SymbolModel(256), SymbolModel(256), SymbolModel(256)} {}

void RgbModels::reset() {
    mChanged.reset();
    for (SymbolModel& model : mDifferences) {
        model.reset();
    }
}

void RgbV2Decoder::start(const std::uint8_t* first) {
    mLast = loadRgb(first);
}

NirModels::NirModels()
    : mChanged(4)
    , mDifferences{SymbolModel(256), SymbolModel(256)} {}

void NirModels::reset() {
    mChanged.reset();
    mDifferences[0].reset();
    mDifferences[1].reset();
}

std::uint16_t NirModels::decode(ArithmeticDecoder& decoder, std::uint16_t last) {
    const std::uint32_t changed = decoder.decodeSymbol(mChanged);
    std::uint32_t low = lowByte(last);
    if ((changed & 1) != 0) {
        low = plusByte(decoder.decodeSymbol(mDifferences[0]), signedOf(low));
    }
    std::uint32_t high = highByte(last);
    if ((changed & 2) != 0) {
        high = plusByte(decoder.decodeSymbol(mDifferences[1]), signedOf(high));
    }
    return static_cast<std::uint16_t>(low | (high << 8));
}

LayeredRgbDecoder::LayeredRgbDecoder(bool nir)
    : mNir(nir) {}

void LayeredRgbDecoder::start(const std::uint8_t* first, std::uint32_t channel,
                              const std::uint8_t* const* layers, const std::uint32_t* sizes) {
    mRgbLayer.start(layers[0], sizes[0]);
    if (mNir) {
        mNirLayer.start(layers[1], sizes[1]);
    }
    Context::Value value{};
    const Rgb rgb = loadRgb(first);
    std::copy(rgb.begin(), rgb.end(), value.begin());
    value[3] = mNir ? Raw::load<std::uint16_t>(first + 6) : 0;
    mContexts.start(channel, [&value] { return std::make_unique<Context>(value); });
}

void LayeredRgbDecoder::decode(std::uint32_t channel, std::uint8_t* out) {
    Context::Value* last = nullptr;
    Context& context = mContexts.select(
        channel, last, [](const Context::Value& from) { return std::make_unique<Context>(from); });
    if (mRgbLayer.present()) {
        const Rgb rgb = context.models.rgb.decode(mRgbLayer.decoder(), {(*last)[0], (*last)[1], (*last)[2]});
        std::copy(rgb.begin(), rgb.end(), last->begin());
    }
    storeRgb(out, {(*last)[0], (*last)[1], (*last)[2]});
    if (mNir) {
        if (mNirLayer.present()) {
            (*last)[3] = context.models.nir.decode(mNirLayer.decoder(), (*last)[3]);
        }
        Raw::store(out + 6, (*last)[3]);
    }
}

} // namespace LAZ_DECODER_BUILD
} // namespace Orvid::FileIoInterface::Las::Laz
LAZ_DECODER_TARGET_END
