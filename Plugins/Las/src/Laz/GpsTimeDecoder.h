#pragma once

#include "Laz/AdaptiveModels.h"
#include "Laz/ArithmeticDecoder.h"
#include "Laz/IntegerDecoder.h"

#include <array>
#include <cstdint>

namespace Orvid::FileIoInterface::Las::Laz {

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

/// The GPS time predictor of GPSTIME11 version 2 and POINT14 version 3: up to four interleaved time
/// sequences (as from several scanners), each with its last time and difference.
class GpsTimeSequences {
public:
    /// `codesUnchanged`: whether the stream has codes for an unchanged time (version 2), which the
    /// layered version leaves to the point's own change flag.
    explicit GpsTimeSequences(bool codesUnchanged);
    void start(std::uint64_t first);
    /// The next time, as the bits of the double.
    std::uint64_t decode(ArithmeticDecoder& decoder);
    std::uint64_t last() const { return mTimes[mCurrent]; }

private:
    std::uint32_t mUnchanged;
    std::uint32_t mCurrent = 0;
    std::uint32_t mNewest = 0;
    std::array<std::uint64_t, 4> mTimes{};
    std::array<std::int32_t, 4> mDifferences{};
    std::array<std::int32_t, 4> mExtremeCounts{};
    SymbolModel mMultiplier;
    SymbolModel mZeroDifference;
    IntegerDecoder mDifference;
};

/// GPSTIME11 version 2.
class GpsTimeV2Decoder {
public:
    GpsTimeV2Decoder();
    void start(const std::uint8_t* first);
    void decode(ArithmeticDecoder& decoder, std::uint8_t* out);

private:
    GpsTimeSequences mSequences;
};

} // namespace Orvid::FileIoInterface::Las::Laz
