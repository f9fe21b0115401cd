#include "Laz/Point10Decoder.h"

#include "Raw/ByteCursor.h"

LAZ_DECODER_TARGET_BEGIN
namespace Orvid::FileIoInterface::Las::Laz {
inline namespace LAZ_DECODER_BUILD {

namespace {

std::int32_t medianOf3(const std::array<std::int32_t, 3>& v) {
    if (v[0] < v[1]) {
        return v[1] < v[2] ? v[1] : (v[0] < v[2] ? v[2] : v[0]);
    }
    return v[0] < v[2] ? v[0] : (v[1] < v[2] ? v[2] : v[1]);
}

} // namespace

void Point10Fields::load(const std::uint8_t* bytes) {
    Raw::ByteReader reader(bytes);
    x = reader.read<std::int32_t>();
    y = reader.read<std::int32_t>();
    z = reader.read<std::int32_t>();
    intensity = reader.read<std::uint16_t>();
    returnsAndFlags = reader.read<std::uint8_t>();
    classification = reader.read<std::uint8_t>();
    scanAngleRank = reader.read<std::uint8_t>();
    userData = reader.read<std::uint8_t>();
    pointSourceId = reader.read<std::uint16_t>();
}

void Point10Fields::store(std::uint8_t* bytes) const {
    Raw::ByteWriter writer(bytes);
    writer.write(x);
    writer.write(y);
    writer.write(z);
    writer.write(intensity);
    writer.write(returnsAndFlags);
    writer.write(classification);
    writer.write(scanAngleRank);
    writer.write(userData);
    writer.write(pointSourceId);
}

Point10V1Decoder::Point10V1Decoder()
    : mDx(32)
    , mDy(32, 20)
    , mZ(32, 20)
    , mIntensity(16)
    , mScanAngle(8, 2)
    , mPointSource(16)
    , mChanged(64)
    , mReturnsAndFlags(256)
    , mClassification(256)
    , mUserData(256) {}

void Point10V1Decoder::start(const std::uint8_t* first) {
    mLast.load(first);
    mLastDx = {};
    mLastDy = {};
    mNextDiff = 0;
}

void Point10V1Decoder::decode(ArithmeticDecoder& decoder, std::uint8_t* out) {
    const std::int32_t dx = mDx.decode(decoder, medianOf3(mLastDx));
    mLast.x = wrappingAdd(mLast.x, dx);
    std::uint32_t k = mDx.k();
    const std::int32_t dy = mDy.decode(decoder, medianOf3(mLastDy), k < 19 ? k : 19);
    mLast.y = wrappingAdd(mLast.y, dy);
    k = (k + mDy.k()) / 2;
    mLast.z = mZ.decode(decoder, mLast.z, k < 19 ? k : 19);

    const std::uint32_t changed = decoder.decodeSymbol(mChanged);
    if (changed != 0) {
        if ((changed & 32) != 0) {
            mLast.intensity = static_cast<std::uint16_t>(mIntensity.decode(decoder, mLast.intensity));
        }
        if ((changed & 16) != 0) {
            mLast.returnsAndFlags =
                static_cast<std::uint8_t>(decoder.decodeSymbol(mReturnsAndFlags[mLast.returnsAndFlags]));
        }
        if ((changed & 8) != 0) {
            mLast.classification =
                static_cast<std::uint8_t>(decoder.decodeSymbol(mClassification[mLast.classification]));
        }
        if ((changed & 4) != 0) {
            mLast.scanAngleRank =
                static_cast<std::uint8_t>(mScanAngle.decode(decoder, mLast.scanAngleRank, k < 3 ? 1 : 0));
        }
        if ((changed & 2) != 0) {
            mLast.userData = static_cast<std::uint8_t>(decoder.decodeSymbol(mUserData[mLast.userData]));
        }
        if ((changed & 1) != 0) {
            mLast.pointSourceId =
                static_cast<std::uint16_t>(mPointSource.decode(decoder, mLast.pointSourceId));
        }
    }
    mLastDx[mNextDiff] = dx;
    mLastDy[mNextDiff] = dy;
    mNextDiff = mNextDiff == 2 ? 0 : mNextDiff + 1;
    mLast.store(out);
}

void Point10V2History::start(const std::uint8_t* first) {
    last.load(first);
    // The intensity is predicted per return context only, never from the first point.
    last.intensity = 0;
    lastIntensity = {};
    for (StreamingMedian5& median : dxMedian) {
        median.reset();
    }
    for (StreamingMedian5& median : dyMedian) {
        median.reset();
    }
    lastHeight = {};
}

void Point10V2Decoder::start(const std::uint8_t* first) {
    mHistory.start(first);
}

} // namespace LAZ_DECODER_BUILD
} // namespace Orvid::FileIoInterface::Las::Laz
LAZ_DECODER_TARGET_END
