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

/// What POINT14 version 3 knows of one scanner channel, kept alike by the encoder and the decoder: the
/// channel's last point, the last intensity and coordinate differences per return context, the last
/// height per return level, and the channel's models. `Integer` is the integer decoder or encoder,
/// `Time` the GPS time predictor of the same direction.
template <typename Integer, typename Time>
struct Point14Context {
    /// A context whose last point is `from`, as a channel's first point or the point of the channel left.
    explicit Point14Context(const Point14Fields& from)
        : last(from)
        // No codes for an unchanged time: the point's own change flag tells.
        , time(false) {
        last.gpsTimeChanged = false;
        lastZ.fill(from.z);
        lastIntensity.fill(from.intensity);
        time.start(from.gpsTime);
    }

    Point14Fields last;
    std::array<std::uint16_t, 8> lastIntensity{};
    std::array<StreamingMedian5, 12> dxMedian;
    std::array<StreamingMedian5, 12> dyMedian;
    std::array<std::int32_t, 8> lastZ{};
    std::array<SymbolModel, 8> changed{SymbolModel(128), SymbolModel(128), SymbolModel(128),
                                       SymbolModel(128), SymbolModel(128), SymbolModel(128),
                                       SymbolModel(128), SymbolModel(128)};
    SymbolModel channelStep{3};
    LazySymbolModels<16> numberOfReturns{16};
    LazySymbolModels<16> returnNumber{16};
    SymbolModel returnNumberSameTime{13};
    Integer dx{32, 2};
    Integer dy{32, 22};
    Integer z{32, 20};
    LazySymbolModels<64> classification{256};
    LazySymbolModels<64> flags{64};
    LazySymbolModels<64> userData{256};
    Integer intensity{16, 4};
    Integer scanAngle{16, 2};
    Integer pointSource{16};
    Time time;
};

/// The layers of POINT14 version 3, in chunk order.
struct Point14Layer {
    enum : std::size_t {
        RETURNS_XY,
        Z,
        CLASSIFICATION,
        FLAGS,
        INTENSITY,
        SCAN_ANGLE,
        USER_DATA,
        POINT_SOURCE,
        GPS_TIME,
        COUNT,
    };
};

/// The context of `channel` among a chunk's `contexts`, made from `from` when the channel first occurs:
/// a channel met for the first time starts from the last point of the channel left.
template <typename Context>
Context& point14ContextFor(std::array<std::unique_ptr<Context>, 4>& contexts, std::uint32_t channel,
                           const Point14Fields& from) {
    std::unique_ptr<Context>& context = contexts[channel];
    if (!context) {
        context = std::make_unique<Context>(from);
        context->last.flags = static_cast<std::uint8_t>((from.flags & ~0x30u) | (channel << 4));
    }
    return *context;
}

/// What a channel's last point `last` was: a first return (1), a last one (2), a point whose GPS time
/// changed (4); the context of the next point's change flags.
LAZ_INLINE std::uint32_t previousPointState(const Point14Fields& last) {
    return (last.returnNumber == 1 ? 1u : 0u) + (last.returnNumber >= last.numberOfReturns ? 2u : 0u) +
           (last.gpsTimeChanged ? 4u : 0u);
}

/// The context of a point's return number `r` of `n` for its classification, flags and intensity:
/// first return (2), last return (1), both or neither.
LAZ_INLINE std::uint32_t firstLastContext(std::uint32_t r, std::uint32_t n) {
    return (r == 1 ? 2u : 0u) + (r >= n ? 1u : 0u);
}

/// The flags that the flags layer codes: edge of flight line (bit 5), scan direction (bit 4) and the
/// classification flags; the scanner channel is not among them.
LAZ_INLINE std::uint32_t codedFlags(std::uint8_t flags) {
    return ((flags >> 2) & 0x30u) | (flags & 0x0Fu);
}

/// POINT14 version 3 of layered chunks: nine layers (returns and x/y, z, classification, flags,
/// intensity, scan angle, user data, point source, GPS time), with models kept apart per scanner
/// channel.
class Point14Decoder {
public:
    static constexpr std::size_t LAYERS = Point14Layer::COUNT;

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
    using Context = Point14Context<IntegerDecoder, GpsTimeSequences>;
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
