#pragma once

#include "Laz/AdaptiveModels.h"
#include "Laz/ArithmeticDecoder.h"
#include "Laz/BranchFree.h"
#include "Laz/DecoderBuild.h"

#include <cstdint>
#include <memory>
#include <vector>

LAZ_DECODER_TARGET_BEGIN
namespace Orvid::FileIoInterface::Las::Laz {
inline namespace LAZ_DECODER_BUILD {

/// Bits of the correctors of `bits`-bit values; 0 and 32 mean full integers.
constexpr std::uint32_t correctorBitsOf(std::uint32_t bits) {
    return bits > 0 && bits < 32 ? bits : 32;
}

/// The range that `bits`-bit values wrap within, or 0 for full integers.
constexpr std::uint32_t wrapRangeOf(std::uint32_t bits) {
    return correctorBitsOf(bits) < 32 ? 1u << bits : 0;
}

/// Decodes integers stored as a corrector to a prediction: first the corrector's magnitude class k
/// (under one of several contexts), then its position within the class, the high bits modelled and
/// the low bits raw. Values wrap within `bits` bits.
class IntegerDecoder {
public:
    /// `bits` of the values (32 for full integers); `contexts` magnitude models; classes up to
    /// `bitsHigh` bits are modelled whole.
    explicit IntegerDecoder(std::uint32_t bits = 16, std::uint32_t contexts = 1, std::uint32_t bitsHigh = 8);

    /// Back to the initial models, as at the start of a chunk.
    void reset();

    LAZ_INLINE std::int32_t decode(ArithmeticDecoder& decoder, std::int32_t prediction,
                                   std::uint32_t context = 0) {
        const std::uint32_t corrector = static_cast<std::uint32_t>(readCorrector(decoder, context));
        std::uint32_t value = static_cast<std::uint32_t>(prediction) + corrector;
        if (mRange != 0) {
            // Wrap into [0, range): the corrector was folded into the same interval when encoding. How
            // often a value wraps depends on how near the field's ends it lies: no branch.
            value = chosenIfAtMost(value, LARGEST_POSITIVE, value, value + mRange);
            value = chosenIfAtMost(value, mRange - 1, value, value - mRange);
        }
        return static_cast<std::int32_t>(value);
    }

    /// Magnitude class of the last corrector decoded; items use it as a context for the next field.
    std::uint32_t k() const { return mK; }

private:
    static constexpr std::uint32_t LARGEST_POSITIVE = 0x7FFFFFFFu;

    LAZ_INLINE std::int32_t readCorrector(ArithmeticDecoder& decoder, std::uint32_t context) {
        mK = decoder.decodeSymbol(mMagnitudes[context]);
        if (mK == 0) {
            return static_cast<std::int32_t>(decoder.decodeBit(mZeroOrOne));
        }
        if (mK >= 32) {
            return mMinimum;
        }
        // The high bits modelled; in classes above `mBitsHigh` bits, the low bits follow raw.
        std::uint32_t position = decoder.decodeSymbol(positions(mK));
        if (mK > mBitsHigh) {
            const std::uint32_t lowBits = mK - mBitsHigh;
            position = (position << lowBits) | decoder.readBits(lowBits);
        }
        // Class k holds [-(2^k - 1), -2^(k-1)] below and [2^(k-1) + 1, 2^k] above.
        // Which half the position lies in is the corrector's sign: a mask, not a mispredicted branch.
        const std::uint32_t half = 1u << (mK - 1);
        const std::uint32_t above = 0u - static_cast<std::uint32_t>(position >= half);
        return static_cast<std::int32_t>(((position + 1) & above) |
                                         ((position - ((half << 1) - 1)) & ~above));
    }

    // The position model of class k, made when the class first occurs in a chunk: most of the 32
    // classes of a coordinate never do, and a model costs as much to make as to update.
    LAZ_INLINE SymbolModel& positions(std::uint32_t k) {
        SymbolModel* model = mPositions[k - 1].get();
        return __builtin_expect(model != nullptr, 1) ? *model : makePositions(k);
    }
    SymbolModel& makePositions(std::uint32_t k);

    std::uint32_t mBitsHigh;
    std::uint32_t mRange = 0;
    std::int32_t mMinimum = 0;
    std::uint32_t mK = 0;
    std::vector<SymbolModel> mMagnitudes;
    BitModel mZeroOrOne;
    std::vector<std::unique_ptr<SymbolModel>> mPositions;
};

} // namespace LAZ_DECODER_BUILD
} // namespace Orvid::FileIoInterface::Las::Laz
LAZ_DECODER_TARGET_END
