#include "Laz/Point14Encoder.h"

#include "Laz/FieldArithmetic.h"
#include "Laz/ReturnContexts.h"

#include <cmath>
#include <cstring>

namespace Orvid::FileIoInterface::Las::Laz {

namespace {

// Times compare as doubles, as the widely used encoder compares them: a NaN always differs, and +0 and
// -0 are the same time (so that the second decodes as the first).
bool timesDiffer(std::uint64_t time, std::uint64_t last) {
    double value = 0.0;
    double lastValue = 0.0;
    std::memcpy(&value, &time, sizeof value);
    std::memcpy(&lastValue, &last, sizeof lastValue);
    return std::islessgreater(value, lastValue) || std::isunordered(value, lastValue);
}

// The flags of what changed from `last`, the last point of the point's own channel (or of the channel
// left, when the point's channel is new): channel (bit 6), point source (5), GPS time (4), scan angle
// (3), number of returns (2), and the return number one up (1), one down (2) or otherwise (3).
std::uint32_t changeFlags(const Point14Fields& point, const Point14Fields& last, bool channelChanged,
                          bool timeChanged) {
    std::uint32_t changed = (channelChanged ? 64u : 0u) |
                            (point.pointSourceId != last.pointSourceId ? 32u : 0u) |
                            (timeChanged ? 16u : 0u) | (point.scanAngle != last.scanAngle ? 8u : 0u) |
                            (point.numberOfReturns != last.numberOfReturns ? 4u : 0u);
    const std::uint32_t r = point.returnNumber;
    const std::uint32_t lastR = last.returnNumber;
    if (r != lastR) {
        changed |= r == ((lastR + 1) & 15u) ? 1u : (r == ((lastR + 15) & 15u) ? 2u : 3u);
    }
    return changed;
}

} // namespace

Point14Encoder::Point14Encoder() = default;
Point14Encoder::~Point14Encoder() = default;
Point14Encoder::Point14Encoder(Point14Encoder&&) noexcept = default;
Point14Encoder& Point14Encoder::operator=(Point14Encoder&&) noexcept = default;

std::uint32_t Point14Encoder::start(const std::uint8_t* first) {
    Point14Fields fields;
    fields.load(first);
    mChannel = fields.channel();
    point14ContextFor(mContexts, mChannel, fields);
    // The returns, x/y and z layers are written even when their fields never change.
    mLayers[Point14Layer::RETURNS_XY].noteChange(true);
    mLayers[Point14Layer::Z].noteChange(true);
    return mChannel;
}

void Point14Encoder::finish(ChunkLayers& layers) {
    for (EncodedLayer& layer : mLayers) {
        layers.push_back(layer.finish());
    }
}

std::uint32_t Point14Encoder::encode(const std::uint8_t* record) {
    Point14Fields point;
    point.load(record);
    ArithmeticEncoder& main = mLayers[Point14Layer::RETURNS_XY].encoder();
    Context* context = mContexts[mChannel].get();
    const std::uint32_t channel = point.channel();
    const bool channelChanged = channel != mChannel;
    const Point14Fields& last =
        channelChanged && mContexts[channel] ? mContexts[channel]->last : context->last;
    const bool timeChanged = timesDiffer(point.gpsTime, last.gpsTime);
    const std::uint32_t changed = changeFlags(point, last, channelChanged, timeChanged);
    // The flags are coded in the context of the channel left, as the decoder cannot know the new one.
    main.encodeSymbol(context->changed[previousPointState(context->last)], changed);
    std::uint32_t itemContext = 0;
    if (channelChanged) {
        main.encodeSymbol(context->channelStep, ((channel - mChannel) & 3u) - 1);
        context = &point14ContextFor(mContexts, channel, context->last);
        mChannel = channel;
        itemContext = channel;
    }
    const std::uint32_t timeFlag = timeChanged ? 1u : 0u;
    encodeReturns(main, *context, point, changed, timeFlag);
    encodeCoordinates(main, *context, point, timeFlag);
    encodeAttributes(*context, point, changed, timeFlag);
    context->last = point;
    context->last.gpsTimeChanged = timeChanged;
    return itemContext;
}

void Point14Encoder::encodeReturns(ArithmeticEncoder& main, Context& context, const Point14Fields& point,
                                   std::uint32_t changed, std::uint32_t timeChanged) {
    const Point14Fields& last = context.last;
    if ((changed & 4) != 0) {
        main.encodeSymbol(context.numberOfReturns[last.numberOfReturns], point.numberOfReturns);
    }
    if ((changed & 3) != 3) {
        return;
    }
    if (timeChanged != 0) {
        main.encodeSymbol(context.returnNumber[last.returnNumber], point.returnNumber);
    } else {
        // Steps of 2 to 14 up, modulo 16: one up or down has a flag of its own.
        main.encodeSymbol(context.returnNumberSameTime,
                          (std::uint32_t{point.returnNumber} + 14 - last.returnNumber) & 15u);
    }
}

void Point14Encoder::encodeCoordinates(ArithmeticEncoder& main, Context& context, const Point14Fields& point,
                                       std::uint32_t timeChanged) {
    const Point14Fields& last = context.last;
    const std::uint32_t n = point.numberOfReturns;
    const std::uint32_t r = point.returnNumber;
    const std::uint32_t single = n == 1 ? 1u : 0u;
    const std::size_t medianIndex = (std::uint32_t{RETURN_CONTEXT_4BIT[n][r]} << 1) | timeChanged;

    std::int32_t difference = wrappingSubtract(point.x, last.x);
    context.dx.encode(main, context.dxMedian[medianIndex].median(), difference, single);
    context.dxMedian[medianIndex].add(difference);
    difference = wrappingSubtract(point.y, last.y);
    context.dy.encode(main, context.dyMedian[medianIndex].median(), difference,
                      single + evenClass(context.dx.k(), 20));
    context.dyMedian[medianIndex].add(difference);

    const std::uint32_t level = returnLevel(r, n, 7);
    const std::uint32_t k = (context.dx.k() + context.dy.k()) / 2;
    context.z.encode(mLayers[Point14Layer::Z].encoder(), context.lastZ[level], point.z,
                     single + evenClass(k, 18));
    context.lastZ[level] = point.z;
}

void Point14Encoder::encodeAttributes(Context& context, const Point14Fields& point, std::uint32_t changed,
                                      std::uint32_t timeChanged) {
    const Point14Fields& last = context.last;
    const std::uint32_t firstLast = firstLastContext(point.returnNumber, point.numberOfReturns);
    EncodedLayer& classification = mLayers[Point14Layer::CLASSIFICATION];
    classification.noteChange(point.classification != last.classification);
    classification.encoder().encodeSymbol(
        context.classification[((last.classification & 0x1Fu) << 1) + (firstLast == 3 ? 1u : 0u)],
        point.classification);
    EncodedLayer& flags = mLayers[Point14Layer::FLAGS];
    flags.noteChange(codedFlags(point.flags) != codedFlags(last.flags));
    flags.encoder().encodeSymbol(context.flags[codedFlags(last.flags)], codedFlags(point.flags));
    EncodedLayer& intensity = mLayers[Point14Layer::INTENSITY];
    intensity.noteChange(point.intensity != last.intensity);
    const std::size_t index = (firstLast << 1) | timeChanged;
    context.intensity.encode(intensity.encoder(), context.lastIntensity[index], point.intensity, firstLast);
    context.lastIntensity[index] = point.intensity;
    if ((changed & 8) != 0) {
        mLayers[Point14Layer::SCAN_ANGLE].noteChange(true);
        context.scanAngle.encode(mLayers[Point14Layer::SCAN_ANGLE].encoder(), last.scanAngle, point.scanAngle,
                                 timeChanged);
    }
    EncodedLayer& userData = mLayers[Point14Layer::USER_DATA];
    userData.noteChange(point.userData != last.userData);
    userData.encoder().encodeSymbol(context.userData[last.userData / 4u], point.userData);
    if ((changed & 32) != 0) {
        mLayers[Point14Layer::POINT_SOURCE].noteChange(true);
        context.pointSource.encode(mLayers[Point14Layer::POINT_SOURCE].encoder(), last.pointSourceId,
                                   point.pointSourceId);
    }
    if (timeChanged != 0) {
        mLayers[Point14Layer::GPS_TIME].noteChange(true);
        context.time.encode(mLayers[Point14Layer::GPS_TIME].encoder(), point.gpsTime);
    }
}

} // namespace Orvid::FileIoInterface::Las::Laz
