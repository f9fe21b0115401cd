#include "Laz/ByteEncoder.h"

#include <algorithm>

namespace Orvid::FileIoInterface::Las::Laz {

ByteV2Encoder::ByteV2Encoder(std::size_t count)
    : mLast(count) {
    mModels.reserve(count);
    for (std::size_t index = 0; index < count; ++index) {
        mModels.emplace_back(256);
    }
}

void ByteV2Encoder::start(const std::uint8_t* first) {
    std::copy_n(first, mLast.size(), mLast.begin());
}

void ByteV2Encoder::encode(ArithmeticEncoder& encoder, const std::uint8_t* record) {
    for (std::size_t index = 0; index < mLast.size(); ++index) {
        encoder.encodeSymbol(mModels[index], static_cast<std::uint8_t>(record[index] - mLast[index]));
        mLast[index] = record[index];
    }
}

} // namespace Orvid::FileIoInterface::Las::Laz
