#include "Laz/Point14Decoder.h"

#include "Laz/FieldArithmetic.h"
#include "Laz/ReturnContexts.h"
#include "Raw/ByteCursor.h"

LAZ_DECODER_TARGET_BEGIN
namespace Orvid::FileIoInterface::Las::Laz {
inline namespace LAZ_DECODER_BUILD {

void Point14Fields::load(const std::uint8_t* bytes) {
    Raw::ByteReader reader(bytes);
    x = reader.read<std::int32_t>();
    y = reader.read<std::int32_t>();
    z = reader.read<std::int32_t>();
    intensity = reader.read<std::uint16_t>();
    const auto returns = reader.read<std::uint8_t>();
    returnNumber = returns & 0x0Fu;
    numberOfReturns = static_cast<std::uint8_t>(returns >> 4);
    flags = reader.read<std::uint8_t>();
    classification = reader.read<std::uint8_t>();
    userData = reader.read<std::uint8_t>();
    scanAngle = reader.read<std::int16_t>();
    pointSourceId = reader.read<std::uint16_t>();
    gpsTime = reader.read<std::uint64_t>();
}

void Point14Fields::store(std::uint8_t* bytes) const {
    Raw::ByteWriter writer(bytes);
    writer.write(x);
    writer.write(y);
    writer.write(z);
    writer.write(intensity);
    writer.write(static_cast<std::uint8_t>(returnNumber | (numberOfReturns << 4)));
    writer.write(flags);
    writer.write(classification);
    writer.write(userData);
    writer.write(scanAngle);
    writer.write(pointSourceId);
    writer.write(gpsTime);
}

Point14Decoder::Point14Decoder() = default;
Point14Decoder::~Point14Decoder() = default;
Point14Decoder::Point14Decoder(Point14Decoder&&) noexcept = default;
Point14Decoder& Point14Decoder::operator=(Point14Decoder&&) noexcept = default;

Point14Decoder::Context& Point14Decoder::contextFor(std::uint32_t channel, const Point14Fields& from) {
    return point14ContextFor(mContexts, channel, from);
}

void Point14Decoder::start(const std::uint8_t* first, const std::array<const std::uint8_t*, LAYERS>& layers,
                           const std::array<std::uint32_t, LAYERS>& sizes) {
    for (std::size_t layer = 0; layer < LAYERS; ++layer) {
        mLayers[layer].start(layers[layer], sizes[layer]);
    }
    for (std::unique_ptr<Context>& context : mContexts) {
        context.reset();
    }
    Point14Fields fields;
    fields.load(first);
    mChannel = fields.channel();
    contextFor(mChannel, fields);
}

bool Point14Decoder::damaged() const {
    for (const LayerStream& layer : mLayers) {
        if (layer.damaged()) {
            return true;
        }
    }
    return false;
}

// Always inlined into `decode`: they are its parts, split only to be read one at a time.
LAZ_INLINE void Point14Decoder::decodeReturns(ArithmeticDecoder& main, Context& context,
                                              std::uint32_t changed, std::uint32_t timeChanged) {
    Point14Fields& last = context.last;
    std::uint32_t n = last.numberOfReturns;
    if ((changed & 4) != 0) {
        n = main.decodeSymbol(context.numberOfReturns[n]);
        last.numberOfReturns = static_cast<std::uint8_t>(n);
    }
    std::uint32_t r = last.returnNumber;
    switch (changed & 3) {
    case 0:
        break;
    case 1:
        r = (r + 1) & 15u;
        break;
    case 2:
        r = (r + 15) & 15u;
        break;
    default:
        if (timeChanged != 0) {
            r = main.decodeSymbol(context.returnNumber[r]);
        } else {
            r = (r + main.decodeSymbol(context.returnNumberSameTime) + 2) & 15u;
        }
        break;
    }
    last.returnNumber = static_cast<std::uint8_t>(r);
}

LAZ_INLINE void Point14Decoder::decodeCoordinates(ArithmeticDecoder& main, Context& context,
                                                  std::uint32_t timeChanged) {
    Point14Fields& last = context.last;
    const std::uint32_t n = last.numberOfReturns;
    const std::uint32_t r = last.returnNumber;
    const std::uint32_t single = n == 1 ? 1u : 0u;
    const std::size_t medianIndex = (std::uint32_t{RETURN_CONTEXT_4BIT[n][r]} << 1) | timeChanged;

    std::int32_t difference = context.dx.decode(main, context.dxMedian[medianIndex].median(), single);
    last.x = wrappingAdd(last.x, difference);
    context.dxMedian[medianIndex].add(difference);
    difference = context.dy.decode(main, context.dyMedian[medianIndex].median(),
                                   single + evenClass(context.dx.k(), 20));
    last.y = wrappingAdd(last.y, difference);
    context.dyMedian[medianIndex].add(difference);

    if (mLayers[Point14Layer::Z].present()) {
        const std::uint32_t level = returnLevel(r, n, 7);
        const std::uint32_t k = (context.dx.k() + context.dy.k()) / 2;
        last.z = context.z.decode(mLayers[Point14Layer::Z].decoder(), context.lastZ[level],
                                  single + evenClass(k, 18));
        context.lastZ[level] = last.z;
    }
}

LAZ_INLINE void Point14Decoder::decodeAttributes(Context& context, std::uint32_t changed,
                                                 std::uint32_t timeChanged) {
    Point14Fields& last = context.last;
    const std::uint32_t r = last.returnNumber;
    const std::uint32_t firstLast = firstLastContext(r, last.numberOfReturns);
    if (mLayers[Point14Layer::CLASSIFICATION].present()) {
        const std::size_t model = ((last.classification & 0x1Fu) << 1) + (firstLast == 3 ? 1u : 0u);
        last.classification = static_cast<std::uint8_t>(
            mLayers[Point14Layer::CLASSIFICATION].decoder().decodeSymbol(context.classification[model]));
    }
    if (mLayers[Point14Layer::FLAGS].present()) {
        const std::uint32_t previous = codedFlags(last.flags);
        const std::uint32_t flags =
            mLayers[Point14Layer::FLAGS].decoder().decodeSymbol(context.flags[previous]);
        last.flags =
            static_cast<std::uint8_t>(((flags & 0x30u) << 2) | (last.flags & 0x30u) | (flags & 0x0Fu));
    }
    if (mLayers[Point14Layer::INTENSITY].present()) {
        const std::size_t index = (firstLast << 1) | timeChanged;
        last.intensity = static_cast<std::uint16_t>(context.intensity.decode(
            mLayers[Point14Layer::INTENSITY].decoder(), context.lastIntensity[index], firstLast));
        context.lastIntensity[index] = last.intensity;
    }
    if ((changed & 8) != 0 && mLayers[Point14Layer::SCAN_ANGLE].present()) {
        last.scanAngle = static_cast<std::int16_t>(context.scanAngle.decode(
            mLayers[Point14Layer::SCAN_ANGLE].decoder(), last.scanAngle, timeChanged));
    }
    if (mLayers[Point14Layer::USER_DATA].present()) {
        last.userData = static_cast<std::uint8_t>(
            mLayers[Point14Layer::USER_DATA].decoder().decodeSymbol(context.userData[last.userData / 4u]));
    }
    if ((changed & 32) != 0 && mLayers[Point14Layer::POINT_SOURCE].present()) {
        last.pointSourceId = static_cast<std::uint16_t>(
            context.pointSource.decode(mLayers[Point14Layer::POINT_SOURCE].decoder(), last.pointSourceId));
    }
    if (timeChanged != 0 && mLayers[Point14Layer::GPS_TIME].present()) {
        last.gpsTime = context.time.decode(mLayers[Point14Layer::GPS_TIME].decoder());
    }
}

std::uint32_t Point14Decoder::decode(std::uint8_t* out) {
    ArithmeticDecoder& main = mLayers[Point14Layer::RETURNS_XY].decoder();
    Context* context = mContexts[mChannel].get();
    const Point14Fields* last = &context->last;

    const std::uint32_t changed = main.decodeSymbol(context->changed[previousPointState(*last)]);
    std::uint32_t itemContext = 0;
    if ((changed & 64) != 0) {
        const std::uint32_t channel = (mChannel + main.decodeSymbol(context->channelStep) + 1) & 3u;
        context = &contextFor(channel, *last);
        mChannel = channel;
        itemContext = channel;
    }
    const std::uint32_t timeChanged = (changed & 16) != 0 ? 1u : 0u;
    decodeReturns(main, *context, changed, timeChanged);
    decodeCoordinates(main, *context, timeChanged);
    decodeAttributes(*context, changed, timeChanged);
    context->last.store(out);
    context->last.gpsTimeChanged = timeChanged != 0;
    return itemContext;
}

} // namespace LAZ_DECODER_BUILD
} // namespace Orvid::FileIoInterface::Las::Laz
LAZ_DECODER_TARGET_END
