#include "Laz/Point10Encoder.h"

#include "Laz/FieldArithmetic.h"
#include "Laz/ReturnContexts.h"

namespace Orvid::FileIoInterface::Las::Laz {

void Point10V2Encoder::start(const std::uint8_t* first) {
    mHistory.start(first);
}

void Point10V2Encoder::encode(ArithmeticEncoder& encoder, const std::uint8_t* record) {
    Point10Fields point;
    point.load(record);
    const std::uint32_t r = point.returnsAndFlags & 7u;
    const std::uint32_t returns = (point.returnsAndFlags >> 3) & 7u;
    const std::uint32_t context = RETURN_CONTEXT_3BIT[returns][r];
    // The intensity is compared with the last of its return context, not of the last point.
    const std::uint32_t changed = (point.returnsAndFlags != mHistory.last.returnsAndFlags ? 32u : 0u) |
                                  (point.intensity != mHistory.lastIntensity[context] ? 16u : 0u) |
                                  (point.classification != mHistory.last.classification ? 8u : 0u) |
                                  (point.scanAngleRank != mHistory.last.scanAngleRank ? 4u : 0u) |
                                  (point.userData != mHistory.last.userData ? 2u : 0u) |
                                  (point.pointSourceId != mHistory.last.pointSourceId ? 1u : 0u);
    encoder.encodeSymbol(mModels.changed, changed);
    if ((changed & 32) != 0) {
        encoder.encodeSymbol(mModels.returnsAndFlags[mHistory.last.returnsAndFlags], point.returnsAndFlags);
    }
    if ((changed & 16) != 0) {
        mModels.intensity.encode(encoder, mHistory.lastIntensity[context], point.intensity,
                                 context < 3 ? context : 3);
        mHistory.lastIntensity[context] = point.intensity;
    }
    if ((changed & 8) != 0) {
        encoder.encodeSymbol(mModels.classification[mHistory.last.classification], point.classification);
    }
    if ((changed & 4) != 0) {
        const std::uint32_t direction = (point.returnsAndFlags >> 6) & 1u;
        encoder.encodeSymbol(mModels.scanAngle[direction],
                             static_cast<std::uint8_t>(point.scanAngleRank - mHistory.last.scanAngleRank));
    }
    if ((changed & 2) != 0) {
        encoder.encodeSymbol(mModels.userData[mHistory.last.userData], point.userData);
    }
    if ((changed & 1) != 0) {
        mModels.pointSource.encode(encoder, mHistory.last.pointSourceId, point.pointSourceId);
    }
    encodeCoordinates(encoder, point, context, returnLevel(r, returns, 7), returns == 1);
    mHistory.last = point;
}

void Point10V2Encoder::encodeCoordinates(ArithmeticEncoder& encoder, const Point10Fields& point,
                                         std::uint32_t context, std::uint32_t level, bool single) {
    const std::uint32_t singleContext = single ? 1 : 0;
    std::int32_t difference = wrappingSubtract(point.x, mHistory.last.x);
    mModels.dx.encode(encoder, mHistory.dxMedian[context].median(), difference, singleContext);
    mHistory.dxMedian[context].add(difference);
    difference = wrappingSubtract(point.y, mHistory.last.y);
    mModels.dy.encode(encoder, mHistory.dyMedian[context].median(), difference,
                      singleContext + evenClass(mModels.dx.k(), 20));
    mHistory.dyMedian[context].add(difference);
    const std::uint32_t k = (mModels.dx.k() + mModels.dy.k()) / 2;
    mModels.z.encode(encoder, mHistory.lastHeight[level], point.z, singleContext + evenClass(k, 18));
    mHistory.lastHeight[level] = point.z;
}

} // namespace Orvid::FileIoInterface::Las::Laz
