#pragma once

#include "Laz/AdaptiveModels.h"
#include "Laz/ArithmeticEncoder.h"
#include "Laz/RgbDecoder.h"

#include <array>
#include <cstdint>

namespace Orvid::FileIoInterface::Las::Laz {

/// RGB12 version 2, the inverse of RgbV2Decoder: the red bytes as differences to the last red, green
/// and blue as corrections to red's change, and a grey colour (all three equal) as one flag.
class RgbV2Encoder {
public:
    RgbV2Encoder();
    /// Takes the chunk's first record's colour, which is stored raw.
    void start(const std::uint8_t* first);
    void encode(ArithmeticEncoder& encoder, const std::uint8_t* record);

private:
    /// The changes of one byte (low or high) of green and blue, which follow red's change `difference`.
    void encodeGreenBlue(ArithmeticEncoder& encoder, const std::array<std::uint32_t, 3>& bytes,
                         const std::array<std::uint32_t, 3>& last, std::int32_t difference,
                         std::uint32_t changed, std::uint32_t shift);

    Rgb mLast{};
    SymbolModel mChanged;
    std::array<SymbolModel, 6> mDifferences;
};

} // namespace Orvid::FileIoInterface::Las::Laz
