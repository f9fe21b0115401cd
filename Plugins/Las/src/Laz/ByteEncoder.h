#pragma once

#include "Laz/AdaptiveModels.h"
#include "Laz/ArithmeticEncoder.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Orvid::FileIoInterface::Las::Laz {

/// BYTE version 2, the inverse of ByteV2Decoder: each extra byte as its difference to the same byte of
/// the last record, modulo 256.
class ByteV2Encoder {
public:
    explicit ByteV2Encoder(std::size_t count);
    /// Takes the chunk's first record's bytes, which are stored raw.
    void start(const std::uint8_t* first);
    void encode(ArithmeticEncoder& encoder, const std::uint8_t* record);

private:
    std::vector<std::uint8_t> mLast;
    std::vector<SymbolModel> mModels;
};

} // namespace Orvid::FileIoInterface::Las::Laz
