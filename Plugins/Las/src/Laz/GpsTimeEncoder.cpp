#include "Laz/GpsTimeEncoder.h"

#include "Laz/FieldArithmetic.h"
#include "Raw/ByteCursor.h"

#include <cmath>
#include <limits>

namespace Orvid::FileIoInterface::Las::Laz {

namespace {

// Codes after a zero difference: unchanged (with codes for it), a 32-bit difference, a new sequence,
// then switches to the sequences 1 to 3 on. After a non-zero one: the multipliers, unchanged (with codes
// for it), a new sequence, then switches.
constexpr std::uint32_t CODE_UNCHANGED_AFTER_ZERO = 0;
constexpr std::uint32_t CODE_UNCHANGED_AFTER_MULTIPLIER = CODE_WHOLE;

// The difference from `from` to `time` when it fits in 32 bits.
std::optional<std::int32_t> difference32(std::uint64_t from, std::uint64_t time) {
    const auto wide = static_cast<std::int64_t>(time - from);
    const auto narrow = static_cast<std::int32_t>(static_cast<std::uint32_t>(time - from));
    if (wide != narrow) {
        return std::nullopt;
    }
    return narrow;
}

// The ratio of two differences rounded half away from zero in single precision, as the widely used
// encoder computes it; a ratio beyond 32 bits gives the lowest integer, as the x86-64 conversion does.
std::int32_t quantizedRatio(std::int32_t difference, std::int32_t last) {
    const float ratio = static_cast<float>(difference) / static_cast<float>(last);
    const float rounded = ratio >= 0.0f ? ratio + 0.5f : ratio - 0.5f;
    if (!(std::fabs(rounded) < 2147483648.0f)) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(rounded);
}

} // namespace

GpsTimeSequencesEncoder::GpsTimeSequencesEncoder(bool codesUnchanged)
    : mUnchanged(codesUnchanged ? 1 : 0)
    , mState(mUnchanged) {}

void GpsTimeSequencesEncoder::start(std::uint64_t first) {
    mState.start(first);
}

void GpsTimeSequencesEncoder::encode(ArithmeticEncoder& encoder, std::uint64_t time) {
    // After a zero difference the codes come from a model of their own, with other numbers.
    const bool afterZero = mState.differences[mState.current] == 0;
    SymbolModel& codes = afterZero ? mState.zeroDifference : mState.multiplier;
    const std::uint32_t wholeCode = (afterZero ? 1 : CODE_WHOLE) + mUnchanged;
    if (mUnchanged != 0 && time == mState.times[mState.current]) {
        encoder.encodeSymbol(codes, afterZero ? CODE_UNCHANGED_AFTER_ZERO : CODE_UNCHANGED_AFTER_MULTIPLIER);
        return;
    }
    if (const std::optional<std::int32_t> difference = difference32(mState.times[mState.current], time)) {
        if (afterZero) {
            encoder.encodeSymbol(codes, mUnchanged);
            mState.difference.encode(encoder, 0, *difference, 0);
            mState.differences[mState.current] = *difference;
            mState.extremeCounts[mState.current] = 0;
        } else {
            encodeWithMultiplier(encoder, *difference);
        }
        mState.times[mState.current] = time;
        return;
    }
    if (const std::optional<std::uint32_t> other = otherSequence(time)) {
        encoder.encodeSymbol(codes, wholeCode + *other);
        mState.current = (mState.current + *other) & 3u;
        encode(encoder, time);
        return;
    }
    encoder.encodeSymbol(codes, wholeCode);
    startSequence(encoder, time);
}

void GpsTimeSequencesEncoder::encodeWithMultiplier(ArithmeticEncoder& encoder, std::int32_t difference) {
    const std::int32_t last = mState.differences[mState.current];
    const std::int32_t multiplier = quantizedRatio(difference, last);
    if (multiplier == 1) {
        encoder.encodeSymbol(mState.multiplier, 1);
        mState.difference.encode(encoder, last, difference, 1);
        mState.extremeCounts[mState.current] = 0;
    } else if (multiplier > 0 && multiplier < MULTIPLIER_LIMIT) {
        encoder.encodeSymbol(mState.multiplier, static_cast<std::uint32_t>(multiplier));
        mState.difference.encode(encoder, wrappingTimes(multiplier, last), difference,
                                 multiplier < 10 ? 2 : 3);
    } else if (multiplier >= MULTIPLIER_LIMIT) {
        encoder.encodeSymbol(mState.multiplier, MULTIPLIER_LIMIT);
        mState.difference.encode(encoder, wrappingTimes(MULTIPLIER_LIMIT, last), difference, 4);
        countExtreme(difference);
    } else if (multiplier < 0 && multiplier > NEGATIVE_LIMIT) {
        encoder.encodeSymbol(mState.multiplier, static_cast<std::uint32_t>(MULTIPLIER_LIMIT - multiplier));
        mState.difference.encode(encoder, wrappingTimes(multiplier, last), difference, 5);
    } else if (multiplier < 0) {
        encoder.encodeSymbol(mState.multiplier,
                             static_cast<std::uint32_t>(MULTIPLIER_LIMIT - NEGATIVE_LIMIT));
        mState.difference.encode(encoder, wrappingTimes(NEGATIVE_LIMIT, last), difference, 6);
        countExtreme(difference);
    } else {
        encoder.encodeSymbol(mState.multiplier, 0);
        mState.difference.encode(encoder, 0, difference, 7);
        countExtreme(difference);
    }
}

std::optional<std::uint32_t> GpsTimeSequencesEncoder::otherSequence(std::uint64_t time) const {
    for (std::uint32_t step = 1; step < 4; ++step) {
        if (difference32(mState.times[(mState.current + step) & 3u], time)) {
            return step;
        }
    }
    return std::nullopt;
}

void GpsTimeSequencesEncoder::startSequence(ArithmeticEncoder& encoder, std::uint64_t time) {
    // The upper half predicted from the current sequence's, the lower half raw.
    mState.difference.encode(
        encoder, static_cast<std::int32_t>(static_cast<std::uint32_t>(mState.times[mState.current] >> 32)),
        static_cast<std::int32_t>(static_cast<std::uint32_t>(time >> 32)), 8);
    encoder.writeInt(static_cast<std::uint32_t>(time));
    mState.newest = (mState.newest + 1) & 3u;
    mState.current = mState.newest;
    mState.times[mState.current] = time;
    mState.differences[mState.current] = 0;
    mState.extremeCounts[mState.current] = 0;
}

void GpsTimeSequencesEncoder::countExtreme(std::int32_t difference) {
    if (++mState.extremeCounts[mState.current] > 3) {
        mState.differences[mState.current] = difference;
        mState.extremeCounts[mState.current] = 0;
    }
}

// Version 2 has codes for an unchanged time.
GpsTimeV2Encoder::GpsTimeV2Encoder()
    : mSequences(true) {}

void GpsTimeV2Encoder::start(const std::uint8_t* first) {
    mSequences.start(Raw::load<std::uint64_t>(first));
}

void GpsTimeV2Encoder::encode(ArithmeticEncoder& encoder, const std::uint8_t* record) {
    mSequences.encode(encoder, Raw::load<std::uint64_t>(record));
}

} // namespace Orvid::FileIoInterface::Las::Laz
