#include "Laz/Point10Encoder.h"

#include "Laz/FieldArithmetic.h"
#include "Laz/ReturnContexts.h"

namespace Orvid::FileIoInterface::Las::Laz {

Point10V2Encoder::Point10V2Encoder()
    : mChanged(64)
    , mIntensity(16, 4)
    , mScanAngle{SymbolModel(256), SymbolModel(256)}
    , mPointSource(16)
    , mDx(32, 2)
    , mDy(32, 22)
    , mZ(32, 20)
    , mReturnsAndFlags(256)
    , mClassification(256)
    , mUserData(256) {}

void Point10V2Encoder::start(const std::uint8_t* first) {
    mLast.load(first);
    mLastIntensity = {};
    for (StreamingMedian5& median : mDxMedian) {
        median.reset();
    }
    for (StreamingMedian5& median : mDyMedian) {
        median.reset();
    }
    mLastHeight = {};
}

void Point10V2Encoder::encode(ArithmeticEncoder& encoder, const std::uint8_t* record) {
    Point10Fields point;
    point.load(record);
    const std::uint32_t r = point.returnsAndFlags & 7u;
    const std::uint32_t returns = (point.returnsAndFlags >> 3) & 7u;
    const std::uint32_t context = RETURN_CONTEXT_3BIT[returns][r];
    // The intensity is compared with the last of its return context, not of the last point.
    const std::uint32_t changed = (point.returnsAndFlags != mLast.returnsAndFlags ? 32u : 0u) |
                                  (point.intensity != mLastIntensity[context] ? 16u : 0u) |
                                  (point.classification != mLast.classification ? 8u : 0u) |
                                  (point.scanAngleRank != mLast.scanAngleRank ? 4u : 0u) |
                                  (point.userData != mLast.userData ? 2u : 0u) |
                                  (point.pointSourceId != mLast.pointSourceId ? 1u : 0u);
    encoder.encodeSymbol(mChanged, changed);
    if ((changed & 32) != 0) {
        encoder.encodeSymbol(mReturnsAndFlags[mLast.returnsAndFlags], point.returnsAndFlags);
    }
    if ((changed & 16) != 0) {
        mIntensity.encode(encoder, mLastIntensity[context], point.intensity, context < 3 ? context : 3);
        mLastIntensity[context] = point.intensity;
    }
    if ((changed & 8) != 0) {
        encoder.encodeSymbol(mClassification[mLast.classification], point.classification);
    }
    if ((changed & 4) != 0) {
        const std::uint32_t direction = (point.returnsAndFlags >> 6) & 1u;
        encoder.encodeSymbol(mScanAngle[direction],
                             static_cast<std::uint8_t>(point.scanAngleRank - mLast.scanAngleRank));
    }
    if ((changed & 2) != 0) {
        encoder.encodeSymbol(mUserData[mLast.userData], point.userData);
    }
    if ((changed & 1) != 0) {
        mPointSource.encode(encoder, mLast.pointSourceId, point.pointSourceId);
    }
    encodeCoordinates(encoder, point, context, returnLevel(r, returns, 7), returns == 1);
    mLast = point;
}

void Point10V2Encoder::encodeCoordinates(ArithmeticEncoder& encoder, const Point10Fields& point,
                                         std::uint32_t context, std::uint32_t level, bool single) {
    const std::uint32_t singleContext = single ? 1 : 0;
    std::int32_t difference = wrappingSubtract(point.x, mLast.x);
    mDx.encode(encoder, mDxMedian[context].median(), difference, singleContext);
    mDxMedian[context].add(difference);
    difference = wrappingSubtract(point.y, mLast.y);
    mDy.encode(encoder, mDyMedian[context].median(), difference, singleContext + evenClass(mDx.k(), 20));
    mDyMedian[context].add(difference);
    const std::uint32_t k = (mDx.k() + mDy.k()) / 2;
    mZ.encode(encoder, mLastHeight[level], point.z, singleContext + evenClass(k, 18));
    mLastHeight[level] = point.z;
}

} // namespace Orvid::FileIoInterface::Las::Laz
