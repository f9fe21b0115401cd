#pragma once

#include "Laz/AdaptiveModels.h"
#include "Laz/ArithmeticDecoder.h"
#include "Laz/DecoderBuild.h"
#include "Laz/FieldArithmetic.h"
#include "Laz/IntegerDecoder.h"
#include "Laz/ReturnContexts.h"
#include "Laz/StreamingMedian.h"

#include <array>
#include <cstdint>

LAZ_DECODER_TARGET_BEGIN
namespace Orvid::FileIoInterface::Las::Laz {
inline namespace LAZ_DECODER_BUILD {

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
    /// Bytes of the record that the item fills.
    static constexpr std::size_t SIZE = 20;

    Point10V2Decoder();
    void start(const std::uint8_t* first);
    LAZ_INLINE void decode(ArithmeticDecoder& decoder, std::uint8_t* out);

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

// Inline: the chunk decoder's loop keeps the coder's state in registers only when it sees every field.
void Point10V2Decoder::decode(ArithmeticDecoder& decoder, std::uint8_t* out) {
    const std::uint32_t changed = decoder.decodeSymbol(mChanged);
    std::uint32_t context;
    std::uint32_t level;
    std::uint32_t returns;
    if (changed != 0) {
        if ((changed & 32) != 0) {
            mLast.returnsAndFlags =
                static_cast<std::uint8_t>(decoder.decodeSymbol(mReturnsAndFlags[mLast.returnsAndFlags]));
        }
        const std::uint32_t r = mLast.returnsAndFlags & 7u;
        returns = (mLast.returnsAndFlags >> 3) & 7u;
        context = RETURN_CONTEXT_3BIT[returns][r];
        level = returnLevel(r, returns, 7);
        if ((changed & 16) != 0) {
            mLast.intensity = static_cast<std::uint16_t>(
                mIntensity.decode(decoder, mLastIntensity[context], context < 3 ? context : 3));
            mLastIntensity[context] = mLast.intensity;
        } else {
            mLast.intensity = mLastIntensity[context];
        }
        if ((changed & 8) != 0) {
            mLast.classification =
                static_cast<std::uint8_t>(decoder.decodeSymbol(mClassification[mLast.classification]));
        }
        if ((changed & 4) != 0) {
            const std::uint32_t direction = (mLast.returnsAndFlags >> 6) & 1u;
            mLast.scanAngleRank =
                static_cast<std::uint8_t>(decoder.decodeSymbol(mScanAngle[direction]) + mLast.scanAngleRank);
        }
        if ((changed & 2) != 0) {
            mLast.userData = static_cast<std::uint8_t>(decoder.decodeSymbol(mUserData[mLast.userData]));
        }
        if ((changed & 1) != 0) {
            mLast.pointSourceId =
                static_cast<std::uint16_t>(mPointSource.decode(decoder, mLast.pointSourceId));
        }
    } else {
        const std::uint32_t r = mLast.returnsAndFlags & 7u;
        returns = (mLast.returnsAndFlags >> 3) & 7u;
        context = RETURN_CONTEXT_3BIT[returns][r];
        level = returnLevel(r, returns, 7);
    }

    const std::uint32_t single = returns == 1 ? 1 : 0;
    std::int32_t difference = mDx.decode(decoder, mDxMedian[context].median(), single);
    mLast.x = wrappingAdd(mLast.x, difference);
    mDxMedian[context].add(difference);
    difference = mDy.decode(decoder, mDyMedian[context].median(), single + evenClass(mDx.k(), 20));
    mLast.y = wrappingAdd(mLast.y, difference);
    mDyMedian[context].add(difference);
    const std::uint32_t k = (mDx.k() + mDy.k()) / 2;
    mLast.z = mZ.decode(decoder, mLastHeight[level], single + evenClass(k, 18));
    mLastHeight[level] = mLast.z;
    mLast.store(out);
}

} // namespace LAZ_DECODER_BUILD
} // namespace Orvid::FileIoInterface::Las::Laz
LAZ_DECODER_TARGET_END
