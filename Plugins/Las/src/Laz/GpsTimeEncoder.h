#pragma once

#include "Laz/ArithmeticEncoder.h"
#include "Laz/GpsTimeDecoder.h"
#include "Laz/IntegerEncoder.h"

#include <cstdint>
#include <optional>

namespace Orvid::FileIoInterface::Las::Laz {

/// The inverse of GpsTimeSequences, for GPSTIME11 version 2 and POINT14 version 3: the time's bits as a
/// 64-bit integer, a difference to the last time of one of up to four interleaved sequences, predicted
/// from that sequence's last difference times a small multiplier, or a new sequence stored whole.
class GpsTimeSequencesEncoder {
public:
    /// `codesUnchanged`: whether the stream has codes for an unchanged time (version 2), which the
    /// layered version leaves to the point's own change flag.
    explicit GpsTimeSequencesEncoder(bool codesUnchanged);
    /// Takes the chunk's first time, which is stored raw.
    void start(std::uint64_t first);
    void encode(ArithmeticEncoder& encoder, std::uint64_t time);

private:
    void encodeWithMultiplier(ArithmeticEncoder& encoder, std::int32_t difference);
    /// The other sequence (1 to 3 sequences on) that `time` lies within a 32-bit difference of.
    std::optional<std::uint32_t> otherSequence(std::uint64_t time) const;
    void startSequence(ArithmeticEncoder& encoder, std::uint64_t time);
    /// Counts a difference too far from the prediction; the fourth in a row becomes the last difference.
    void countExtreme(std::int32_t difference);

    std::uint32_t mUnchanged;
    GpsTimeSequenceState<IntegerEncoder> mState;
};

/// GPSTIME11 version 2, the inverse of GpsTimeV2Decoder.
class GpsTimeV2Encoder {
public:
    GpsTimeV2Encoder();
    /// Takes the chunk's first record's time, which is stored raw.
    void start(const std::uint8_t* first);
    void encode(ArithmeticEncoder& encoder, const std::uint8_t* record);

private:
    GpsTimeSequencesEncoder mSequences;
};

} // namespace Orvid::FileIoInterface::Las::Laz
