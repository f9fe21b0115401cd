#include "Laz/IntegerDecoder.h"

#include <limits>

LAZ_DECODER_TARGET_BEGIN
namespace Orvid::FileIoInterface::Las::Laz {
inline namespace LAZ_DECODER_BUILD {

IntegerDecoder::IntegerDecoder(std::uint32_t bits, std::uint32_t contexts, std::uint32_t bitsHigh)
    : mBitsHigh(bitsHigh) {
    std::uint32_t correctorBits = 32;
    if (bits > 0 && bits < 32) {
        correctorBits = bits;
        mRange = 1u << bits;
        mMinimum = -static_cast<std::int32_t>(mRange / 2);
    } else {
        mMinimum = std::numeric_limits<std::int32_t>::min();
    }
    mMagnitudes.reserve(contexts);
    for (std::uint32_t context = 0; context < contexts; ++context) {
        mMagnitudes.emplace_back(correctorBits + 1);
    }
    mPositions.reserve(correctorBits);
    for (std::uint32_t k = 1; k <= correctorBits; ++k) {
        mPositions.emplace_back(1u << (k <= bitsHigh ? k : bitsHigh));
    }
}

void IntegerDecoder::reset() {
    mK = 0;
    for (SymbolModel& model : mMagnitudes) {
        model.reset();
    }
    mZeroOrOne.reset();
    for (SymbolModel& model : mPositions) {
        model.reset();
    }
}

} // namespace LAZ_DECODER_BUILD
} // namespace Orvid::FileIoInterface::Las::Laz
LAZ_DECODER_TARGET_END
