#include "Laz/GpsTimeDecoder.h"

#include "Raw/ByteCursor.h"

LAZ_DECODER_TARGET_BEGIN
namespace Orvid::FileIoInterface::Las::Laz {
inline namespace LAZ_DECODER_BUILD {

namespace {

constexpr std::uint32_t V1_MULTIPLIERS = 512;

} // namespace

GpsTimeV1Decoder::GpsTimeV1Decoder()
    : mMultiplier(V1_MULTIPLIERS)
    , mZeroDifference(3)
    , mDifference(32, 6) {}

void GpsTimeV1Decoder::start(const std::uint8_t* first) {
    mLast = Raw::load<std::uint64_t>(first);
    mLastDifference = 0;
    mExtremeCount = 0;
}

void GpsTimeV1Decoder::decode(ArithmeticDecoder& decoder, std::uint8_t* out) {
    if (mLastDifference == 0) {
        const std::uint32_t code = decoder.decodeSymbol(mZeroDifference);
        if (code == 1) {
            mLastDifference = mDifference.decode(decoder, 0, 0);
            mLast = plusDifference(mLast, mLastDifference);
        } else if (code == 2) {
            mLast = decoder.readInt64();
        }
    } else {
        const auto multiplier = static_cast<std::int32_t>(decoder.decodeSymbol(mMultiplier));
        if (multiplier < static_cast<std::int32_t>(V1_MULTIPLIERS) - 2) {
            std::int32_t difference;
            if (multiplier == 1) {
                difference = mDifference.decode(decoder, mLastDifference, 1);
                mLastDifference = difference;
                mExtremeCount = 0;
            } else if (multiplier == 0) {
                difference = mDifference.decode(decoder, mLastDifference / 4, 2);
                if (++mExtremeCount > 3) {
                    mLastDifference = difference;
                    mExtremeCount = 0;
                }
            } else {
                const std::uint32_t context = multiplier < 10 ? 3 : (multiplier < 50 ? 4 : 5);
                difference = mDifference.decode(decoder, wrappingTimes(multiplier, mLastDifference), context);
                if (multiplier == static_cast<std::int32_t>(V1_MULTIPLIERS) - 3 && ++mExtremeCount > 3) {
                    mLastDifference = difference;
                    mExtremeCount = 0;
                }
            }
            mLast = plusDifference(mLast, difference);
        } else if (multiplier < static_cast<std::int32_t>(V1_MULTIPLIERS) - 1) {
            mLast = decoder.readInt64();
        }
    }
    Raw::store(out, mLast);
}

GpsTimeSequences::GpsTimeSequences(bool codesUnchanged)
    : mUnchanged(codesUnchanged ? 1 : 0)
    , mState(mUnchanged) {}

void GpsTimeSequences::start(std::uint64_t first) {
    mState.start(first);
}

GpsTimeV2Decoder::GpsTimeV2Decoder()
    : mSequences(true) {}

void GpsTimeV2Decoder::start(const std::uint8_t* first) {
    mSequences.start(Raw::load<std::uint64_t>(first));
}

} // namespace LAZ_DECODER_BUILD
} // namespace Orvid::FileIoInterface::Las::Laz
LAZ_DECODER_TARGET_END
