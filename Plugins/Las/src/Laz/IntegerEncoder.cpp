#include "Laz/IntegerEncoder.h"

#include "Laz/IntegerDecoder.h"

namespace Orvid::FileIoInterface::Las::Laz {

IntegerEncoder::IntegerEncoder(std::uint32_t bits, std::uint32_t contexts, std::uint32_t bitsHigh)
    : mBitsHigh(bitsHigh)
    , mRange(wrapRangeOf(bits)) {
    const std::uint32_t correctorBits = correctorBitsOf(bits);
    mMagnitudes.reserve(contexts);
    for (std::uint32_t context = 0; context < contexts; ++context) {
        mMagnitudes.emplace_back(correctorBits + 1);
    }
    mPositions.reserve(correctorBits);
    for (std::uint32_t k = 1; k <= correctorBits; ++k) {
        mPositions.emplace_back(1u << (k <= bitsHigh ? k : bitsHigh));
    }
}

void IntegerEncoder::encode(ArithmeticEncoder& encoder, std::int32_t prediction, std::int32_t value,
                            std::uint32_t context) {
    // The difference wraps in 32 bits, then folds once into [-range/2, range/2).
    std::uint32_t corrector = static_cast<std::uint32_t>(value) - static_cast<std::uint32_t>(prediction);
    if (mRange != 0) {
        const auto half = static_cast<std::int32_t>(mRange / 2);
        const auto signedCorrector = static_cast<std::int32_t>(corrector);
        if (signedCorrector < -half) {
            corrector += mRange;
        } else if (signedCorrector >= half) {
            corrector -= mRange;
        }
    }
    encodeCorrector(encoder, static_cast<std::int32_t>(corrector), context);
}

void IntegerEncoder::encodeCorrector(ArithmeticEncoder& encoder, std::int32_t corrector,
                                     std::uint32_t context) {
    // Class k holds [-(2^k - 1), -2^(k-1)] and [2^(k-1) + 1, 2^k]; class 0 holds 0 and 1.
    const std::int64_t wide = corrector;
    const auto magnitude = static_cast<std::uint64_t>(wide <= 0 ? -wide : wide - 1);
    // The bit width of the magnitude: one count of leading zeros rather than a shift per bit.
    mK = magnitude == 0 ? 0 : 64 - static_cast<std::uint32_t>(__builtin_clzll(magnitude));
    encoder.encodeSymbol(mMagnitudes[context], mK);
    if (mK == 0) {
        encoder.encodeBit(mZeroOrOne, static_cast<std::uint32_t>(corrector));
        return;
    }
    // Class 32 is the one corrector -2^31, which the class alone states.
    if (mK >= 32) {
        return;
    }
    const auto position =
        static_cast<std::uint32_t>(wide < 0 ? wide + ((std::int64_t{1} << mK) - 1) : wide - 1);
    if (mK <= mBitsHigh) {
        encoder.encodeSymbol(mPositions[mK - 1], position);
        return;
    }
    const std::uint32_t lowBits = mK - mBitsHigh;
    encoder.encodeSymbol(mPositions[mK - 1], position >> lowBits);
    encoder.writeBits(lowBits, position & ((1u << lowBits) - 1));
}

} // namespace Orvid::FileIoInterface::Las::Laz
