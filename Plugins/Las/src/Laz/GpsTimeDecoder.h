#pragma once

#include "Laz/AdaptiveModels.h"
#include "Laz/ArithmeticDecoder.h"
#include "Laz/DecoderBuild.h"
#include "Laz/FieldArithmetic.h"
#include "Laz/IntegerDecoder.h"
#include "Raw/ByteCursor.h"

#include <array>
#include <cstdint>

LAZ_DECODER_TARGET_BEGIN
namespace Orvid::FileIoInterface::Las::Laz {
inline namespace LAZ_DECODER_BUILD {

// Version 2 and 3 multiplier codes: 0 for a difference unrelated to the last, 1 to 499 the last
// difference times the code, 500 five hundred times, 501 to 510 minus 1 to minus 10 times, then
// (version 2 only) an unchanged time, a time stored whole, and switches to another sequence.
inline constexpr std::int32_t MULTIPLIER_LIMIT = 500;
inline constexpr std::int32_t NEGATIVE_LIMIT = -10;
inline constexpr std::uint32_t CODE_WHOLE = MULTIPLIER_LIMIT - NEGATIVE_LIMIT + 1;
// A damaged stream could chain sequence switches; a valid one switches once before a time.
inline constexpr int MAX_SWITCHES = 4;

/// `time` (as a 64-bit integer) plus a signed 32-bit difference, modulo 2^64.
constexpr std::uint64_t plusDifference(std::uint64_t time, std::int32_t difference) {
    return time + static_cast<std::uint64_t>(static_cast<std::int64_t>(difference));
}

/// GPSTIME11 version 1: the time as a 64-bit integer, predicted from the last difference times a
/// small multiplier, or stored whole.
class GpsTimeV1Decoder {
public:
    GpsTimeV1Decoder();
    void start(const std::uint8_t* first);
    void decode(ArithmeticDecoder& decoder, std::uint8_t* out);

private:
    std::uint64_t mLast = 0;
    std::int32_t mLastDifference = 0;
    std::int32_t mExtremeCount = 0;
    SymbolModel mMultiplier;
    SymbolModel mZeroDifference;
    IntegerDecoder mDifference;
};

/// The time sequences of GPSTIME11 version 2 and POINT14 version 3 and their models, kept alike by the
/// encoder and the decoder: the current and the newest sequence, each sequence's last time, last
/// difference and count of extreme differences. `Integer` is the integer decoder or encoder;
/// `unchangedCodes` is 1 when the stream has codes for an unchanged time, else 0.
template <typename Integer>
struct GpsTimeSequenceState {
    explicit GpsTimeSequenceState(std::uint32_t unchangedCodes)
        : multiplier(CODE_WHOLE + 4 + unchangedCodes)
        , zeroDifference(5 + unchangedCodes) {}

    void start(std::uint64_t first) {
        current = 0;
        newest = 0;
        times = {first, 0, 0, 0};
        differences = {};
        extremeCounts = {};
    }

    std::uint32_t current = 0;
    std::uint32_t newest = 0;
    std::array<std::uint64_t, 4> times{};
    std::array<std::int32_t, 4> differences{};
    std::array<std::int32_t, 4> extremeCounts{};
    SymbolModel multiplier;
    SymbolModel zeroDifference;
    Integer difference{32, 9};
};

/// The GPS time predictor of GPSTIME11 version 2 and POINT14 version 3: up to four interleaved time
/// sequences (as from several scanners), each with its last time and difference.
class GpsTimeSequences {
public:
    /// `codesUnchanged`: whether the stream has codes for an unchanged time (version 2), which the
    /// layered version leaves to the point's own change flag.
    explicit GpsTimeSequences(bool codesUnchanged);
    void start(std::uint64_t first);
    /// The next time, as the bits of the double.
    LAZ_INLINE std::uint64_t decode(ArithmeticDecoder& decoder);
    std::uint64_t last() const { return mState.times[mState.current]; }

private:
    /// A difference coded as a multiple of the sequence's last one (any multiplier but 1).
    LAZ_INLINE std::int32_t decodeScaledDifference(ArithmeticDecoder& decoder, std::int32_t multiplier,
                                                   std::int32_t& lastDifference, std::int32_t& extremes);
    /// Starts the next sequence with a time stored whole, its upper half predicted from `current`.
    LAZ_INLINE std::uint64_t startSequence(ArithmeticDecoder& decoder, std::uint64_t current);

    std::uint32_t mUnchanged;
    GpsTimeSequenceState<IntegerDecoder> mState;
};

/// GPSTIME11 version 2.
class GpsTimeV2Decoder {
public:
    /// Bytes of the record that the item fills.
    static constexpr std::size_t SIZE = 8;

    GpsTimeV2Decoder();
    void start(const std::uint8_t* first);
    LAZ_INLINE void decode(ArithmeticDecoder& decoder, std::uint8_t* out);

private:
    GpsTimeSequences mSequences;
};

std::uint64_t GpsTimeSequences::decode(ArithmeticDecoder& decoder) {
    for (int attempt = 0; attempt < MAX_SWITCHES; ++attempt) {
        std::uint64_t& time = mState.times[mState.current];
        std::int32_t& lastDifference = mState.differences[mState.current];
        std::int32_t& extremes = mState.extremeCounts[mState.current];
        std::uint32_t code;
        if (lastDifference == 0) {
            code = decoder.decodeSymbol(mState.zeroDifference);
            if (code < mUnchanged) {
                return time;
            }
            code -= mUnchanged;
            if (code == 0) {
                lastDifference = mState.difference.decode(decoder, 0, 0);
                time = plusDifference(time, lastDifference);
                extremes = 0;
                return time;
            }
            if (code > 1) {
                mState.current = (mState.current + code - 1) & 3u;
                continue;
            }
        } else {
            code = decoder.decodeSymbol(mState.multiplier);
            if (code < CODE_WHOLE) {
                const auto multiplier = static_cast<std::int32_t>(code);
                if (multiplier == 1) {
                    time = plusDifference(time, mState.difference.decode(decoder, lastDifference, 1));
                    extremes = 0;
                    return time;
                }
                const std::int32_t difference =
                    decodeScaledDifference(decoder, multiplier, lastDifference, extremes);
                time = plusDifference(time, difference);
                return time;
            }
            if (code - CODE_WHOLE < mUnchanged) {
                return time;
            }
            code -= CODE_WHOLE + mUnchanged;
            if (code > 0) {
                mState.current = (mState.current + code) & 3u;
                continue;
            }
        }
        return startSequence(decoder, time);
    }
    return mState.times[mState.current];
}

std::int32_t GpsTimeSequences::decodeScaledDifference(ArithmeticDecoder& decoder, std::int32_t multiplier,
                                                      std::int32_t& lastDifference, std::int32_t& extremes) {
    std::int32_t difference;
    if (multiplier == 0) {
        difference = mState.difference.decode(decoder, 0, 7);
        if (++extremes > 3) {
            lastDifference = difference;
            extremes = 0;
        }
    } else if (multiplier < MULTIPLIER_LIMIT) {
        difference = mState.difference.decode(decoder, wrappingTimes(multiplier, lastDifference),
                                              multiplier < 10 ? 2 : 3);
    } else if (multiplier == MULTIPLIER_LIMIT) {
        difference = mState.difference.decode(decoder, wrappingTimes(MULTIPLIER_LIMIT, lastDifference), 4);
        if (++extremes > 3) {
            lastDifference = difference;
            extremes = 0;
        }
    } else {
        const std::int32_t negative = MULTIPLIER_LIMIT - multiplier;
        if (negative > NEGATIVE_LIMIT) {
            difference = mState.difference.decode(decoder, wrappingTimes(negative, lastDifference), 5);
        } else {
            difference = mState.difference.decode(decoder, wrappingTimes(NEGATIVE_LIMIT, lastDifference), 6);
            if (++extremes > 3) {
                lastDifference = difference;
                extremes = 0;
            }
        }
    }
    return difference;
}

std::uint64_t GpsTimeSequences::startSequence(ArithmeticDecoder& decoder, std::uint64_t current) {
    // A new sequence whose time is stored whole: its upper half predicted from the current one.
    mState.newest = (mState.newest + 1) & 3u;
    const auto upper = static_cast<std::uint32_t>(mState.difference.decode(
        decoder, static_cast<std::int32_t>(static_cast<std::uint32_t>(current >> 32)), 8));
    mState.times[mState.newest] = (std::uint64_t{upper} << 32) | decoder.readInt();
    mState.current = mState.newest;
    mState.differences[mState.current] = 0;
    mState.extremeCounts[mState.current] = 0;
    return mState.times[mState.current];
}

void GpsTimeV2Decoder::decode(ArithmeticDecoder& decoder, std::uint8_t* out) {
    Raw::store(out, mSequences.decode(decoder));
}

} // namespace LAZ_DECODER_BUILD
} // namespace Orvid::FileIoInterface::Las::Laz
LAZ_DECODER_TARGET_END
