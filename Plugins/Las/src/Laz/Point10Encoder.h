#pragma once

#include "Laz/AdaptiveModels.h"
#include "Laz/ArithmeticEncoder.h"
#include "Laz/IntegerEncoder.h"
#include "Laz/Point10Decoder.h"
#include "Laz/StreamingMedian.h"

#include <array>
#include <cstdint>

namespace Orvid::FileIoInterface::Las::Laz {

/// POINT10 version 2, the inverse of Point10V2Decoder: a flag for each field that changed, coordinates
/// and intensity predicted per return context.
class Point10V2Encoder {
public:
    Point10V2Encoder();
    /// Takes the chunk's first record, which is stored raw.
    void start(const std::uint8_t* first);
    void encode(ArithmeticEncoder& encoder, const std::uint8_t* record);

private:
    void encodeCoordinates(ArithmeticEncoder& encoder, const Point10Fields& point, std::uint32_t context,
                           std::uint32_t level, bool single);

    Point10Fields mLast;
    std::array<std::uint16_t, 16> mLastIntensity{};
    std::array<StreamingMedian5, 16> mDxMedian;
    std::array<StreamingMedian5, 16> mDyMedian;
    std::array<std::int32_t, 8> mLastHeight{};
    SymbolModel mChanged;
    IntegerEncoder mIntensity;
    std::array<SymbolModel, 2> mScanAngle;
    IntegerEncoder mPointSource;
    IntegerEncoder mDx;
    IntegerEncoder mDy;
    IntegerEncoder mZ;
    LazySymbolModels<256> mReturnsAndFlags;
    LazySymbolModels<256> mClassification;
    LazySymbolModels<256> mUserData;
};

} // namespace Orvid::FileIoInterface::Las::Laz
