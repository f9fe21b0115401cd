#include "Laz/RgbEncoder.h"

#include "Raw/ByteCursor.h"

#include <algorithm>

namespace Orvid::FileIoInterface::Las::Laz {

namespace {

// The symbol of a byte's change from `prediction`, modulo 256.
std::uint32_t byteDifference(std::uint32_t value, std::int32_t prediction) {
    return (value - static_cast<std::uint32_t>(prediction)) & 0xFFu;
}

std::array<std::uint32_t, 3> bytesOf(const Rgb& rgb, std::uint32_t shift) {
    const auto byteOf = [shift](std::uint16_t channel) { return (std::uint32_t{channel} >> shift) & 0xFFu; };
    return {byteOf(rgb[0]), byteOf(rgb[1]), byteOf(rgb[2])};
}

} // namespace

RgbColourEncoder::RgbColourEncoder()
    : mChanged(128)
    , mDifferences{SymbolModel(256), SymbolModel(256), SymbolModel(256),
                   SymbolModel(256), SymbolModel(256), SymbolModel(256)} {}

std::uint32_t RgbColourEncoder::encode(ArithmeticEncoder& encoder, const Rgb& last, const Rgb& rgb) {
    // Bits 0 to 5: which bytes changed, low before high, red, green, blue; bit 6: not grey.
    std::uint32_t changed = 0;
    for (std::uint32_t channel = 0; channel < 3; ++channel) {
        changed |= (lowByte(rgb[channel]) != lowByte(last[channel]) ? 1u : 0u) << (2 * channel);
        changed |= (highByte(rgb[channel]) != highByte(last[channel]) ? 2u : 0u) << (2 * channel);
    }
    changed |= (rgb[0] != rgb[1] || rgb[0] != rgb[2]) ? 64u : 0u;
    encoder.encodeSymbol(mChanged, changed);
    const std::array<std::uint32_t, 3> low = bytesOf(rgb, 0);
    const std::array<std::uint32_t, 3> high = bytesOf(rgb, 8);
    const std::array<std::uint32_t, 3> lastLow = bytesOf(last, 0);
    const std::array<std::uint32_t, 3> lastHigh = bytesOf(last, 8);
    if ((changed & 1) != 0) {
        encoder.encodeSymbol(mDifferences[0], byteDifference(low[0], signedOf(lastLow[0])));
    }
    if ((changed & 2) != 0) {
        encoder.encodeSymbol(mDifferences[1], byteDifference(high[0], signedOf(lastHigh[0])));
    }
    if ((changed & 64) != 0) {
        encodeGreenBlue(encoder, low, lastLow, signedOf(low[0]) - signedOf(lastLow[0]), changed, 0);
        encodeGreenBlue(encoder, high, lastHigh, signedOf(high[0]) - signedOf(lastHigh[0]), changed, 1);
    }
    return changed;
}

void RgbColourEncoder::encodeGreenBlue(ArithmeticEncoder& encoder, const std::array<std::uint32_t, 3>& bytes,
                                       const std::array<std::uint32_t, 3>& last, std::int32_t difference,
                                       std::uint32_t changed, std::uint32_t shift) {
    // Green's model and flag are 2 + shift, blue's 4 + shift.
    if ((changed & (4u << shift)) != 0) {
        encoder.encodeSymbol(mDifferences[2 + shift],
                             byteDifference(bytes[1], clampToByte(difference + signedOf(last[1]))));
    }
    if ((changed & (16u << shift)) != 0) {
        // Blue follows the mean of red's and green's change.
        difference = (difference + signedOf(bytes[1]) - signedOf(last[1])) / 2;
        encoder.encodeSymbol(mDifferences[4 + shift],
                             byteDifference(bytes[2], clampToByte(difference + signedOf(last[2]))));
    }
}

void RgbV2Encoder::start(const std::uint8_t* first) {
    mLast = loadRgb(first);
}

void RgbV2Encoder::encode(ArithmeticEncoder& encoder, const std::uint8_t* record) {
    const Rgb rgb = loadRgb(record);
    mColour.encode(encoder, mLast, rgb);
    mLast = rgb;
}

NirEncoder::NirEncoder()
    : mChanged(4)
    , mDifferences{SymbolModel(256), SymbolModel(256)} {}

std::uint32_t NirEncoder::encode(ArithmeticEncoder& encoder, std::uint16_t last, std::uint16_t nir) {
    const std::uint32_t changed =
        (lowByte(nir) != lowByte(last) ? 1u : 0u) | (highByte(nir) != highByte(last) ? 2u : 0u);
    encoder.encodeSymbol(mChanged, changed);
    if ((changed & 1) != 0) {
        encoder.encodeSymbol(mDifferences[0], byteDifference(lowByte(nir), signedOf(lowByte(last))));
    }
    if ((changed & 2) != 0) {
        encoder.encodeSymbol(mDifferences[1], byteDifference(highByte(nir), signedOf(highByte(last))));
    }
    return changed;
}

LayeredRgbEncoder::LayeredRgbEncoder(bool nir)
    : mNir(nir) {}

void LayeredRgbEncoder::start(const std::uint8_t* first, std::uint32_t channel) {
    const Rgb rgb = loadRgb(first);
    const Context::Value value{rgb[0], rgb[1], rgb[2],
                               mNir ? Raw::load<std::uint16_t>(first + 6) : std::uint16_t{0}};
    mContexts.start(channel, [&value] { return std::make_unique<Context>(value); });
}

void LayeredRgbEncoder::encode(const std::uint8_t* record, std::uint32_t channel) {
    Context::Value* last = nullptr;
    Context& context = mContexts.select(
        channel, last, [](const Context::Value& from) { return std::make_unique<Context>(from); });
    const Rgb rgb = loadRgb(record);
    // A colour other than grey counts as a change even when it repeats the last.
    mRgbLayer.noteChange(
        context.models.rgb.encode(mRgbLayer.encoder(), {(*last)[0], (*last)[1], (*last)[2]}, rgb) != 0);
    std::copy(rgb.begin(), rgb.end(), last->begin());
    if (mNir) {
        const auto nir = Raw::load<std::uint16_t>(record + 6);
        mNirLayer.noteChange(context.models.nir.encode(mNirLayer.encoder(), (*last)[3], nir) != 0);
        (*last)[3] = nir;
    }
}

void LayeredRgbEncoder::finish(ChunkLayers& layers) {
    layers.push_back(mRgbLayer.finish());
    if (mNir) {
        layers.push_back(mNirLayer.finish());
    }
}

} // namespace Orvid::FileIoInterface::Las::Laz
