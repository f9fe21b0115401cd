#pragma once

#include "Laz/AdaptiveModels.h"
#include "Laz/ArithmeticDecoder.h"
#include "Laz/IntegerDecoder.h"
#include "Laz/StreamingMedian.h"

#include <array>
#include <cstdint>

namespace Orvid::FileIoInterface::Las::Laz {

/// The 20 bytes that formats 0 to 5 share, as fields.
struct Point10Fields {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t z = 0;
    std::uint16_t intensity = 0;
    /// Return number (bits 0-2), number of returns (3-5), scan direction (6), edge of flight line (7).
    std::uint8_t returnsAndFlags = 0;
    std::uint8_t classification = 0;
    std::uint8_t scanAngleRank = 0;
    std::uint8_t userData = 0;
    std::uint16_t pointSourceId = 0;

    static constexpr std::size_t SIZE = 20;
    void load(const std::uint8_t* bytes);
    void store(std::uint8_t* bytes) const;
};

/// POINT10 version 1: coordinates predicted from the median of the last three differences.
class Point10V1Decoder {
public:
    Point10V1Decoder();
    void start(const std::uint8_t* first);
    void decode(ArithmeticDecoder& decoder, std::uint8_t* out);

private:
    Point10Fields mLast;
    std::array<std::int32_t, 3> mLastDx{};
    std::array<std::int32_t, 3> mLastDy{};
    std::uint32_t mNextDiff = 0;
    IntegerDecoder mDx;
    IntegerDecoder mDy;
    IntegerDecoder mZ;
    IntegerDecoder mIntensity;
    IntegerDecoder mScanAngle;
    IntegerDecoder mPointSource;
    SymbolModel mChanged;
    LazySymbolModels<256> mReturnsAndFlags;
    LazySymbolModels<256> mClassification;
    LazySymbolModels<256> mUserData;
};

/// POINT10 version 2: fields that did not change are flagged, coordinates and intensity are predicted
/// per return context.
class Point10V2Decoder {
public:
    Point10V2Decoder();
    void start(const std::uint8_t* first);
    void decode(ArithmeticDecoder& decoder, std::uint8_t* out);

private:
    Point10Fields mLast;
    std::array<std::uint16_t, 16> mLastIntensity{};
    std::array<StreamingMedian5, 16> mDxMedian;
    std::array<StreamingMedian5, 16> mDyMedian;
    std::array<std::int32_t, 8> mLastHeight{};
    SymbolModel mChanged;
    IntegerDecoder mIntensity;
    std::array<SymbolModel, 2> mScanAngle;
    IntegerDecoder mPointSource;
    IntegerDecoder mDx;
    IntegerDecoder mDy;
    IntegerDecoder mZ;
    LazySymbolModels<256> mReturnsAndFlags;
    LazySymbolModels<256> mClassification;
    LazySymbolModels<256> mUserData;
};

} // namespace Orvid::FileIoInterface::Las::Laz
