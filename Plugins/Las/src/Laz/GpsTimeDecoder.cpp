#include "Laz/GpsTimeDecoder.h"

#include "Raw/ByteCursor.h"

namespace Orvid::FileIoInterface::Las::Laz {

namespace {

constexpr std::uint32_t V1_MULTIPLIERS = 512;
// Version 2 and 3 multiplier codes: 0 for a difference unrelated to the last, 1 to 499 the last
// difference times the code, 500 five hundred times, 501 to 510 minus 1 to minus 10 times, then
// (version 2 only) an unchanged time, a time stored whole, and switches to another sequence.
constexpr std::int32_t MULTIPLIER_LIMIT = 500;
constexpr std::int32_t NEGATIVE_LIMIT = -10;
constexpr std::uint32_t CODE_WHOLE = MULTIPLIER_LIMIT - NEGATIVE_LIMIT + 1;
// A damaged stream could chain sequence switches; a valid one switches once before a time.
constexpr int MAX_SWITCHES = 4;

std::uint64_t plus(std::uint64_t time, std::int32_t difference) {
    return time + static_cast<std::uint64_t>(static_cast<std::int64_t>(difference));
}

std::int32_t times(std::int32_t multiplier, std::int32_t difference) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(multiplier) *
                                     static_cast<std::uint32_t>(difference));
}

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
            mLast = plus(mLast, mLastDifference);
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
                difference = mDifference.decode(decoder, times(multiplier, mLastDifference), context);
                if (multiplier == static_cast<std::int32_t>(V1_MULTIPLIERS) - 3 && ++mExtremeCount > 3) {
                    mLastDifference = difference;
                    mExtremeCount = 0;
                }
            }
            mLast = plus(mLast, difference);
        } else if (multiplier < static_cast<std::int32_t>(V1_MULTIPLIERS) - 1) {
            mLast = decoder.readInt64();
        }
    }
    Raw::store(out, mLast);
}

GpsTimeSequences::GpsTimeSequences(bool codesUnchanged)
    : mUnchanged(codesUnchanged ? 1 : 0)
    , mMultiplier(CODE_WHOLE + 4 + mUnchanged)
    , mZeroDifference(5 + mUnchanged)
    , mDifference(32, 9) {}

void GpsTimeSequences::start(std::uint64_t first) {
    mCurrent = 0;
    mNewest = 0;
    mTimes = {first, 0, 0, 0};
    mDifferences = {};
    mExtremeCounts = {};
}

std::uint64_t GpsTimeSequences::decode(ArithmeticDecoder& decoder) {
    for (int attempt = 0; attempt < MAX_SWITCHES; ++attempt) {
        std::uint64_t& time = mTimes[mCurrent];
        std::int32_t& lastDifference = mDifferences[mCurrent];
        std::int32_t& extremes = mExtremeCounts[mCurrent];
        std::uint32_t code;
        if (lastDifference == 0) {
            code = decoder.decodeSymbol(mZeroDifference);
            if (code < mUnchanged) {
                return time;
            }
            code -= mUnchanged;
            if (code == 0) {
                lastDifference = mDifference.decode(decoder, 0, 0);
                time = plus(time, lastDifference);
                extremes = 0;
                return time;
            }
            if (code > 1) {
                mCurrent = (mCurrent + code - 1) & 3u;
                continue;
            }
        } else {
            code = decoder.decodeSymbol(mMultiplier);
            if (code < CODE_WHOLE) {
                std::int32_t difference;
                const auto multiplier = static_cast<std::int32_t>(code);
                if (multiplier == 1) {
                    time = plus(time, mDifference.decode(decoder, lastDifference, 1));
                    extremes = 0;
                    return time;
                }
                if (multiplier == 0) {
                    difference = mDifference.decode(decoder, 0, 7);
                    if (++extremes > 3) {
                        lastDifference = difference;
                        extremes = 0;
                    }
                } else if (multiplier < MULTIPLIER_LIMIT) {
                    difference = mDifference.decode(decoder, times(multiplier, lastDifference),
                                                    multiplier < 10 ? 2 : 3);
                } else if (multiplier == MULTIPLIER_LIMIT) {
                    difference = mDifference.decode(decoder, times(MULTIPLIER_LIMIT, lastDifference), 4);
                    if (++extremes > 3) {
                        lastDifference = difference;
                        extremes = 0;
                    }
                } else {
                    const std::int32_t negative = MULTIPLIER_LIMIT - multiplier;
                    if (negative > NEGATIVE_LIMIT) {
                        difference = mDifference.decode(decoder, times(negative, lastDifference), 5);
                    } else {
                        difference = mDifference.decode(decoder, times(NEGATIVE_LIMIT, lastDifference), 6);
                        if (++extremes > 3) {
                            lastDifference = difference;
                            extremes = 0;
                        }
                    }
                }
                time = plus(time, difference);
                return time;
            }
            if (code - CODE_WHOLE < mUnchanged) {
                return time;
            }
            code -= CODE_WHOLE + mUnchanged;
            if (code > 0) {
                mCurrent = (mCurrent + code) & 3u;
                continue;
            }
        }
        // A new sequence whose time is stored whole: its upper half predicted from the current one.
        mNewest = (mNewest + 1) & 3u;
        const auto upper = static_cast<std::uint32_t>(mDifference.decode(
            decoder, static_cast<std::int32_t>(static_cast<std::uint32_t>(time >> 32)), 8));
        mTimes[mNewest] = (std::uint64_t{upper} << 32) | decoder.readInt();
        mCurrent = mNewest;
        mDifferences[mCurrent] = 0;
        mExtremeCounts[mCurrent] = 0;
        return mTimes[mCurrent];
    }
    return mTimes[mCurrent];
}

GpsTimeV2Decoder::GpsTimeV2Decoder()
    : mSequences(true) {}

void GpsTimeV2Decoder::start(const std::uint8_t* first) {
    mSequences.start(Raw::load<std::uint64_t>(first));
}

void GpsTimeV2Decoder::decode(ArithmeticDecoder& decoder, std::uint8_t* out) {
    Raw::store(out, mSequences.decode(decoder));
}

} // namespace Orvid::FileIoInterface::Las::Laz
