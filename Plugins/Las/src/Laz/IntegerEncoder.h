#pragma once

#include "Laz/AdaptiveModels.h"
#include "Laz/ArithmeticEncoder.h"

#include <cstdint>
#include <vector>

namespace Orvid::FileIoInterface::Las::Laz {

/// Encodes integers as IntegerDecoder reads them: the corrector to a prediction, folded into `bits`
/// bits, as its magnitude class k under a context, then its position within the class.
class IntegerEncoder {
public:
    /// `bits` of the values (32 for full integers); `contexts` magnitude models; classes up to
    /// `bitsHigh` bits are modelled whole.
    explicit IntegerEncoder(std::uint32_t bits = 16, std::uint32_t contexts = 1, std::uint32_t bitsHigh = 8);

    void encode(ArithmeticEncoder& encoder, std::int32_t prediction, std::int32_t value,
                std::uint32_t context = 0);

    /// Magnitude class of the last corrector encoded; items use it as a context for the next field.
    std::uint32_t k() const { return mK; }

private:
    void encodeCorrector(ArithmeticEncoder& encoder, std::int32_t corrector, std::uint32_t context);

    std::uint32_t mBitsHigh;
    std::uint32_t mRange = 0;
    std::uint32_t mK = 0;
    std::vector<SymbolModel> mMagnitudes;
    BitModel mZeroOrOne;
    std::vector<SymbolModel> mPositions;
};

} // namespace Orvid::FileIoInterface::Las::Laz
