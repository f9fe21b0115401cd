#pragma once

#include "Laz/AdaptiveModels.h"
#include "Laz/DecoderBuild.h"
#include "Laz/GpsTimeDecoder.h"
#include "Laz/IntegerDecoder.h"
#include "Laz/LayerStream.h"
#include "Laz/StreamingMedian.h"

#include <array>
#include <cstdint>
#include <memory>

LAZ_DECODER_TARGET_BEGIN
namespace Orvid::FileIoInterface::Las::Laz {
inline namespace LAZ_DECODER_BUILD {

/// The 30 bytes that formats 6 to 10 share, as fields.
struct Point14Fields {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t z = 0;
    std::uint16_t intensity = 0;
    std::uint8_t returnNumber = 0;
    std::uint8_t numberOfReturns = 0;
    /// Classification flags (bits 0-3), scanner channel (4-5), scan direction (6), edge of flight line (7).
    std::uint8_t flags = 0;
    std::uint8_t classification = 0;
    std::uint8_t userData = 0;
    std::int16_t scanAngle = 0;
    std::uint16_t pointSourceId = 0;
    std::uint64_t gpsTime = 0;
    /// Whether this point's GPS time differs from the one before; a context of the next point.
    bool gpsTimeChanged = false;

    static constexpr std::size_t SIZE = 30;
    void load(const std::uint8_t* bytes);
    void store(std::uint8_t* bytes) const;
    std::uint32_t channel() const { return (flags >> 4) & 3u; }
};

/// POINT14 version 3 of layered chunks: nine layers (returns and x/y, z, classification, flags,
/// intensity, scan angle, user data, point source, GPS time), with models kept apart per scanner
/// channel.
class Point14Decoder {
public:
    static constexpr std::size_t LAYERS = 9;

    Point14Decoder();
    ~Point14Decoder();
    Point14Decoder(Point14Decoder&&) noexcept;
    Point14Decoder& operator=(Point14Decoder&&) noexcept;

    /// Layers of the item, for the chunk decoder that counts the layers of every item alike.
    std::size_t layers() const { return LAYERS; }

    /// Starts a chunk whose first record is `first`, with the bytes of each layer.
    void start(const std::uint8_t* first, const std::array<const std::uint8_t*, LAYERS>& layers,
               const std::array<std::uint32_t, LAYERS>& sizes);
    /// Decodes the next record's 30 bytes; returns the context of the record's other items. That is
    /// the new scanner channel on a record where the channel changes and channel 0 on all others: the
    /// encoders pass the channel on only when it changes, and their streams depend on it.
    std::uint32_t decode(std::uint8_t* out);
    /// The scanner channel of the last record.
    std::uint32_t channel() const { return mChannel; }
    bool damaged() const;

private:
    struct Context;
    Context& contextFor(std::uint32_t channel, const Point14Fields& from);
    // The steps of `decode`, in the order of the layers they read.
    void decodeReturns(ArithmeticDecoder& main, Context& context, std::uint32_t changed,
                       std::uint32_t timeChanged);
    void decodeCoordinates(ArithmeticDecoder& main, Context& context, std::uint32_t timeChanged);
    void decodeAttributes(Context& context, std::uint32_t changed, std::uint32_t timeChanged);
    std::uint64_t decodeTime(Context& context);

    std::array<LayerStream, LAYERS> mLayers;
    std::array<std::unique_ptr<Context>, 4> mContexts;
    std::uint32_t mChannel = 0;
};

} // namespace LAZ_DECODER_BUILD
} // namespace Orvid::FileIoInterface::Las::Laz
LAZ_DECODER_TARGET_END
