#include "Laz/RgbEncoder.h"

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

RgbV2Encoder::RgbV2Encoder()
    : mChanged(128)
    , mDifferences{SymbolModel(256), SymbolModel(256), SymbolModel(256),
                   SymbolModel(256), SymbolModel(256), SymbolModel(256)} {}

void RgbV2Encoder::start(const std::uint8_t* first) {
    mLast = loadRgb(first);
}

void RgbV2Encoder::encode(ArithmeticEncoder& encoder, const std::uint8_t* record) {
    const Rgb rgb = loadRgb(record);
    // Bits 0 to 5: which bytes changed, low before high, red, green, blue; bit 6: not grey.
    std::uint32_t changed = 0;
    for (std::uint32_t channel = 0; channel < 3; ++channel) {
        changed |= (lowByte(rgb[channel]) != lowByte(mLast[channel]) ? 1u : 0u) << (2 * channel);
        changed |= (highByte(rgb[channel]) != highByte(mLast[channel]) ? 2u : 0u) << (2 * channel);
    }
    changed |= (rgb[0] != rgb[1] || rgb[0] != rgb[2]) ? 64u : 0u;
    encoder.encodeSymbol(mChanged, changed);
    const std::array<std::uint32_t, 3> low = bytesOf(rgb, 0);
    const std::array<std::uint32_t, 3> high = bytesOf(rgb, 8);
    const std::array<std::uint32_t, 3> lastLow = bytesOf(mLast, 0);
    const std::array<std::uint32_t, 3> lastHigh = bytesOf(mLast, 8);
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
    mLast = rgb;
}

void RgbV2Encoder::encodeGreenBlue(ArithmeticEncoder& encoder, const std::array<std::uint32_t, 3>& bytes,
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

} // namespace Orvid::FileIoInterface::Las::Laz
