#pragma once

#include "Laz/ArithmeticEncoder.h"
#include "Laz/IntegerEncoder.h"
#include "Laz/Point10Decoder.h"

#include <cstdint>

namespace Orvid::FileIoInterface::Las::Laz {

/// POINT10 version 2, the inverse of Point10V2Decoder: a flag for each field that changed, coordinates
/// and intensity predicted per return context.
class Point10V2Encoder {
public:
    /// Takes the chunk's first record, which is stored raw.
    void start(const std::uint8_t* first);
    void encode(ArithmeticEncoder& encoder, const std::uint8_t* record);

private:
    void encodeCoordinates(ArithmeticEncoder& encoder, const Point10Fields& point, std::uint32_t context,
                           std::uint32_t level, bool single);

    Point10V2History mHistory;
    Point10V2Models<IntegerEncoder> mModels;
};

} // namespace Orvid::FileIoInterface::Las::Laz
