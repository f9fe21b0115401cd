#include "Laz/RgbDecoder.h"

#include "Raw/ByteCursor.h"

#include <algorithm>

namespace Orvid::FileIoInterface::Las::Laz {

namespace {

std::uint32_t lowByte(std::uint16_t value) {
    return value & 0xFFu;
}

std::uint32_t highByte(std::uint16_t value) {
    return value >> 8;
}

// The predicted byte plus the decoded difference, modulo 256.
std::uint32_t plusByte(std::uint32_t difference, std::int32_t prediction) {
    return (difference + static_cast<std::uint32_t>(prediction)) & 0xFFu;
}

std::int32_t clampToByte(std::int32_t value) {
    return std::clamp(value, 0, 255);
}

std::int32_t signedOf(std::uint32_t value) {
    return static_cast<std::int32_t>(value);
}

} // namespace

void storeRgb(std::uint8_t* out, const Rgb& rgb) {
    Raw::store(out, rgb[0]);
    Raw::store(out + 2, rgb[1]);
    Raw::store(out + 4, rgb[2]);
}

Rgb loadRgb(const std::uint8_t* bytes) {
    return {Raw::load<std::uint16_t>(bytes), Raw::load<std::uint16_t>(bytes + 2),
            Raw::load<std::uint16_t>(bytes + 4)};
}

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

void RgbV2Decoder::start(const std::uint8_t* first) {
    mLast = loadRgb(first);
}

void RgbV2Decoder::decode(ArithmeticDecoder& decoder, std::uint8_t* out) {
    mLast = mModels.decode(decoder, mLast);
    storeRgb(out, mLast);
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
        const Rgb rgb = context.rgb.decode(mRgbLayer.decoder(), {(*last)[0], (*last)[1], (*last)[2]});
        std::copy(rgb.begin(), rgb.end(), last->begin());
    }
    storeRgb(out, {(*last)[0], (*last)[1], (*last)[2]});
    if (mNir) {
        if (mNirLayer.present()) {
            (*last)[3] = context.nir.decode(mNirLayer.decoder(), (*last)[3]);
        }
        Raw::store(out + 6, (*last)[3]);
    }
}

} // namespace Orvid::FileIoInterface::Las::Laz
