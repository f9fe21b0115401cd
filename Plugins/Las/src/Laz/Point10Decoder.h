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

/// What POINT10 version 2 predicts from, kept alike by its encoder and decoder: the last point, the
/// last intensity and coordinate differences per return context, the last height per return level.
struct Point10V2History {
    Point10Fields last;
    std::array<std::uint16_t, 16> lastIntensity{};
    std::array<StreamingMedian5, 16> dxMedian;
    std::array<StreamingMedian5, 16> dyMedian;
    std::array<std::int32_t, 8> lastHeight{};

    /// Starts a chunk from its first record.
    void start(const std::uint8_t* first);
};

/// The models of POINT10 version 2; `Integer` is the integer decoder or encoder.
template <typename Integer>
struct Point10V2Models {
    SymbolModel changed{64};
    Integer intensity{16, 4};
    std::array<SymbolModel, 2> scanAngle{SymbolModel(256), SymbolModel(256)};
    Integer pointSource{16};
    Integer dx{32, 2};
    Integer dy{32, 22};
    Integer z{32, 20};
    LazySymbolModels<256> returnsAndFlags{256};
    LazySymbolModels<256> classification{256};
    LazySymbolModels<256> userData{256};
};

/// POINT10 version 2: fields that did not change are flagged, coordinates and intensity are predicted
/// per return context.
class Point10V2Decoder {
public:
    /// Bytes of the record that the item fills.
    static constexpr std::size_t SIZE = 20;

    void start(const std::uint8_t* first);
    LAZ_INLINE void decode(ArithmeticDecoder& decoder, std::uint8_t* out);

private:
    Point10V2History mHistory;
    Point10V2Models<IntegerDecoder> mModels;
};

// Inline: the chunk decoder's loop keeps the coder's state in registers only when it sees every field.
void Point10V2Decoder::decode(ArithmeticDecoder& decoder, std::uint8_t* out) {
    const std::uint32_t changed = decoder.decodeSymbol(mModels.changed);
    std::uint32_t context;
    std::uint32_t level;
    std::uint32_t returns;
    if (changed != 0) {
        if ((changed & 32) != 0) {
            mHistory.last.returnsAndFlags = static_cast<std::uint8_t>(
                decoder.decodeSymbol(mModels.returnsAndFlags[mHistory.last.returnsAndFlags]));
        }
        const std::uint32_t r = mHistory.last.returnsAndFlags & 7u;
        returns = (mHistory.last.returnsAndFlags >> 3) & 7u;
        context = RETURN_CONTEXT_3BIT[returns][r];
        level = returnLevel(r, returns, 7);
        if ((changed & 16) != 0) {
            mHistory.last.intensity = static_cast<std::uint16_t>(mModels.intensity.decode(
                decoder, mHistory.lastIntensity[context], context < 3 ? context : 3));
            mHistory.lastIntensity[context] = mHistory.last.intensity;
        } else {
            mHistory.last.intensity = mHistory.lastIntensity[context];
        }
        if ((changed & 8) != 0) {
            mHistory.last.classification = static_cast<std::uint8_t>(
                decoder.decodeSymbol(mModels.classification[mHistory.last.classification]));
        }
        if ((changed & 4) != 0) {
            const std::uint32_t direction = (mHistory.last.returnsAndFlags >> 6) & 1u;
            mHistory.last.scanAngleRank = static_cast<std::uint8_t>(
                decoder.decodeSymbol(mModels.scanAngle[direction]) + mHistory.last.scanAngleRank);
        }
        if ((changed & 2) != 0) {
            mHistory.last.userData =
                static_cast<std::uint8_t>(decoder.decodeSymbol(mModels.userData[mHistory.last.userData]));
        }
        if ((changed & 1) != 0) {
            mHistory.last.pointSourceId =
                static_cast<std::uint16_t>(mModels.pointSource.decode(decoder, mHistory.last.pointSourceId));
        }
    } else {
        const std::uint32_t r = mHistory.last.returnsAndFlags & 7u;
        returns = (mHistory.last.returnsAndFlags >> 3) & 7u;
        context = RETURN_CONTEXT_3BIT[returns][r];
        level = returnLevel(r, returns, 7);
    }

    const std::uint32_t single = returns == 1 ? 1 : 0;
    std::int32_t difference = mModels.dx.decode(decoder, mHistory.dxMedian[context].median(), single);
    mHistory.last.x = wrappingAdd(mHistory.last.x, difference);
    mHistory.dxMedian[context].add(difference);
    difference = mModels.dy.decode(decoder, mHistory.dyMedian[context].median(),
                                   single + evenClass(mModels.dx.k(), 20));
    mHistory.last.y = wrappingAdd(mHistory.last.y, difference);
    mHistory.dyMedian[context].add(difference);
    const std::uint32_t k = (mModels.dx.k() + mModels.dy.k()) / 2;
    mHistory.last.z = mModels.z.decode(decoder, mHistory.lastHeight[level], single + evenClass(k, 18));
    mHistory.lastHeight[level] = mHistory.last.z;
    mHistory.last.store(out);
}

} // namespace LAZ_DECODER_BUILD
} // namespace Orvid::FileIoInterface::Las::Laz
LAZ_DECODER_TARGET_END
