#include <FileIoInterface/Las/LasPoint.h>

#include "Units.h"

namespace Orvid::FileIoInterface::Las {

// Every point of a cloud is one object: keep it within a cache line and a half beside its values.
static_assert(sizeof(LasPoint) <= 96, "LasPoint grew beyond 96 bytes");

LasPoint::LasPoint(const std::vector<Attribute::Value>& initialValues)
    : InputOutputPoint(initialValues) {}

LasPoint::LasPoint(const LasPoint& other)
    : InputOutputPoint(other)
    , mX(other.mX)
    , mY(other.mY)
    , mZ(other.mZ)
    , mTime(other.mTime)
    , mWavePacket(other.mWavePacket ? std::make_unique<LasWavePacket>(*other.mWavePacket) : nullptr)
    , mScanAngleMillidegrees(other.mScanAngleMillidegrees)
    , mIntensity(other.mIntensity)
    , mSourceId(other.mSourceId)
    , mColor(other.mColor)
    , mNir(other.mNir)
    , mReturnNumber(other.mReturnNumber)
    , mNumberOfReturns(other.mNumberOfReturns)
    , mClassification(other.mClassification)
    , mUserData(other.mUserData)
    , mBits(other.mBits)
    , mSourcePointFormat(other.mSourcePointFormat) {}

LasPoint& LasPoint::operator=(const LasPoint& other) {
    if (this != &other) {
        LasPoint copy(other);
        InputOutputPoint::operator=(other);
        mX = copy.mX;
        mY = copy.mY;
        mZ = copy.mZ;
        mTime = copy.mTime;
        mWavePacket = std::move(copy.mWavePacket);
        mScanAngleMillidegrees = copy.mScanAngleMillidegrees;
        mIntensity = copy.mIntensity;
        mSourceId = copy.mSourceId;
        mColor = copy.mColor;
        mNir = copy.mNir;
        mReturnNumber = copy.mReturnNumber;
        mNumberOfReturns = copy.mNumberOfReturns;
        mClassification = copy.mClassification;
        mUserData = copy.mUserData;
        mBits = copy.mBits;
        mSourcePointFormat = copy.mSourcePointFormat;
    }
    return *this;
}

LasPoint::~LasPoint() = default;

std::unique_ptr<InputOutputPoint> LasPoint::clone() const {
    return std::make_unique<LasPoint>(*this);
}

void LasPoint::setIntensity(double intensity) {
    mIntensity = intensityFromDouble(intensity);
}

void LasPoint::setBits(std::uint8_t mask, unsigned shift, std::uint8_t value) {
    mBits = static_cast<std::uint8_t>((mBits & ~(mask << shift)) | ((value & mask) << shift));
}

void LasPoint::setClassificationFlags(ClassificationFlags flags) {
    setBits(FLAGS_MASK, 0, static_cast<std::uint8_t>(flags.mask() & FLAGS_MASK));
}

void LasPoint::setScannerChannel(std::uint8_t channel) {
    setBits(0x03u, CHANNEL_SHIFT, channel);
}

void LasPoint::setScanDirection(std::uint8_t direction) {
    setBits(0x01u, DIRECTION_SHIFT, direction != 0 ? 1 : 0);
}

void LasPoint::setEdgeOfFlightLine(std::uint8_t edge) {
    setBits(0x01u, EDGE_SHIFT, edge != 0 ? 1 : 0);
}

void LasPoint::setScanAngle(double degrees) {
    mScanAngleMillidegrees = millidegreesFromDegrees(degrees);
}

void LasPoint::setWavePacket(const std::optional<LasWavePacket>& packet) {
    mWavePacket = packet ? std::make_unique<LasWavePacket>(*packet) : nullptr;
}

std::optional<std::uint8_t> LasPoint::getSourcePointFormat() const {
    if (mSourcePointFormat == NO_FORMAT) {
        return std::nullopt;
    }
    return mSourcePointFormat;
}

void LasPoint::setSourcePointFormat(std::optional<std::uint8_t> format) {
    mSourcePointFormat = format.value_or(NO_FORMAT);
}

} // namespace Orvid::FileIoInterface::Las
