#include "Laz/IntegerDecoder.h"

#include <limits>

LAZ_DECODER_TARGET_BEGIN
namespace Orvid::FileIoInterface::Las::Laz {
inline namespace LAZ_DECODER_BUILD {

IntegerDecoder::IntegerDecoder(std::uint32_t bits, std::uint32_t contexts, std::uint32_t bitsHigh)
    : mBitsHigh(bitsHigh)
    , mRange(wrapRangeOf(bits))
    , mMinimum(mRange != 0 ? -static_cast<std::int32_t>(mRange / 2)
                           : std::numeric_limits<std::int32_t>::min()) {
    const std::uint32_t correctorBits = correctorBitsOf(bits);
    mMagnitudes.reserve(contexts);
    for (std::uint32_t context = 0; context < contexts; ++context) {
        mMagnitudes.emplace_back(correctorBits + 1);
    }
    mPositions.resize(correctorBits);
}

SymbolModel& IntegerDecoder::makePositions(std::uint32_t k) {
    std::unique_ptr<SymbolModel>& model = mPositions[k - 1];
    model = std::make_unique<SymbolModel>(1u << (k <= mBitsHigh ? k : mBitsHigh));
    return *model;
}

void IntegerDecoder::reset() {
    mK = 0;
    for (SymbolModel& model : mMagnitudes) {
        model.reset();
    }
    mZeroOrOne.reset();
    for (const std::unique_ptr<SymbolModel>& model : mPositions) {
        if (model) {
            model->reset();
        }
    }
}

} // namespace LAZ_DECODER_BUILD
} // namespace Orvid::FileIoInterface::Las::Laz
LAZ_DECODER_TARGET_END
