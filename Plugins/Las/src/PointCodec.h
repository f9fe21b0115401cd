#pragma once

#include "ExtraBytesLayout.h"
#include "Raw/PointFormat.h"
#include "Raw/RawPointRecord.h"
#include "Units.h"

#include <FileIoInterface/Las/LasHeader.h>
#include <FileIoInterface/Las/LasPoint.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <type_traits>

namespace Orvid::FileIoInterface::Las {

/// Calls `function` with the point format `number` as a compile-time constant, so that each format's
/// code is compiled on its own: its field offsets are constants and the fields it lacks cost nothing.
template <typename Function>
decltype(auto) withPointFormat(std::uint8_t number, Function&& function) {
    switch (number) {
    case 0:
        return function(std::integral_constant<std::uint8_t, 0>{});
    case 1:
        return function(std::integral_constant<std::uint8_t, 1>{});
    case 2:
        return function(std::integral_constant<std::uint8_t, 2>{});
    case 3:
        return function(std::integral_constant<std::uint8_t, 3>{});
    case 4:
        return function(std::integral_constant<std::uint8_t, 4>{});
    case 5:
        return function(std::integral_constant<std::uint8_t, 5>{});
    case 6:
        return function(std::integral_constant<std::uint8_t, 6>{});
    case 7:
        return function(std::integral_constant<std::uint8_t, 7>{});
    case 8:
        return function(std::integral_constant<std::uint8_t, 8>{});
    case 9:
        return function(std::integral_constant<std::uint8_t, 9>{});
    default:
        return function(std::integral_constant<std::uint8_t, 10>{});
    }
}

/// Converts between point records of one format, scale, offset and extra-bytes layout and points:
/// the one place where stored integers become real coordinates and degrees, and back.
class PointCodec {
public:
    PointCodec(const Raw::PointFormat& format, const Xyz& scale, const Xyz& offset,
               ExtraBytesLayout extraBytes)
        : mFormat(format)
        , mScale(scale)
        , mOffset(offset)
        , mInverseScale{1.0 / scale.x, 1.0 / scale.y, 1.0 / scale.z}
        , mExtraBytes(std::move(extraBytes)) {}

    const Raw::PointFormat& format() const { return mFormat; }
    const ExtraBytesLayout& extraBytes() const { return mExtraBytes; }
    std::size_t recordLength() const { return mFormat.standardLength + mExtraBytes.size(); }

    /// Fills `point` from the record at `bytes`, which holds at least `recordLength()` bytes.
    void decode(const std::uint8_t* bytes, LasPoint& point) const {
        withPointFormat(mFormat.number,
                        [&](auto number) { decodeAs<decltype(number)::value>(bytes, point); });
    }

    /// What a writer keeps of each stored point for its header.
    struct Stored {
        std::array<std::int32_t, 3> xyz{};
        std::uint8_t returnNumber = 0;
    };

    /// Stores `point` as a record at `bytes` (`recordLength()` bytes) and returns true; `stored` then
    /// holds its stored coordinates and return number. Returns false with the reason in `why`, leaving
    /// the bytes undefined, when a value does not fit the format: a coordinate outside the 32-bit range
    /// of the scale and offset, a return count, class, channel, flag or scan angle the format cannot
    /// hold, extra values that do not match the layout. `P` is `LasPoint`, whose accessors are then
    /// called without virtual dispatch, or `InputOutputPoint`.
    template <typename P>
    bool encode(const P& point, std::uint8_t* bytes, Stored& stored, std::string& why) const {
        return withPointFormat(mFormat.number, [&](auto number) {
            return encodeAs<P, decltype(number)::value>(point, bytes, stored, why);
        });
    }

private:
    template <std::uint8_t N>
    void decodeAs(const std::uint8_t* bytes, LasPoint& point) const {
        static constexpr Raw::PointFormat FORMAT = Raw::POINT_FORMATS[N];
        const Raw::RawPointRecord raw = Raw::decodePointRecord<N>(bytes);
        point.mX = raw.x * mScale.x + mOffset.x;
        point.mY = raw.y * mScale.y + mOffset.y;
        point.mZ = raw.z * mScale.z + mOffset.z;
        point.mTime = raw.gpsTime;
        point.mIntensity = raw.intensity;
        point.mReturnNumber = raw.returnNumber;
        point.mNumberOfReturns = raw.numberOfReturns;
        point.mClassification = raw.classification;
        point.mUserData = raw.userData;
        point.mBits = static_cast<std::uint8_t>(raw.classificationFlags | (raw.scannerChannel << 4) |
                                                (raw.scanDirection << 6) | (raw.edgeOfFlightLine << 7));
        point.mScanAngleMillidegrees = raw.scanAngle * (FORMAT.extended ? 6 : 1000);
        point.mSourceId = raw.pointSourceId;
        point.mColor = ColorRGB(raw.red, raw.green, raw.blue);
        point.mNir = raw.nir;
        if constexpr (FORMAT.wavePacket != 0) {
            point.mWavePacket = std::make_unique<LasWavePacket>(raw.wavePacket);
        } else if (point.mWavePacket) {
            point.mWavePacket.reset();
        }
        point.mSourcePointFormat = N;
        if (mExtraBytes.fieldCount() != 0) {
            point.values.reserve(mExtraBytes.fieldCount());
            mExtraBytes.decode(bytes + FORMAT.standardLength, point.values);
        }
    }

    template <typename P, std::uint8_t N>
    bool encodeAs(const P& point, std::uint8_t* bytes, Stored& stored, std::string& why) const {
        static constexpr Raw::PointFormat FORMAT = Raw::POINT_FORMATS[N];
        Raw::RawPointRecord raw;
        // Multiplying by the inverse scale, for all three axes before any test, keeps the divisions off
        // the critical path; the result differs from a division by far less than the half unit that
        // rounding resolves, so stored integers come back unchanged.
        const double x = (point.getX() - mOffset.x) * mInverseScale.x;
        const double y = (point.getY() - mOffset.y) * mInverseScale.y;
        const double z = (point.getZ() - mOffset.z) * mInverseScale.z;
        if (!fitsInt32(x) || !fitsInt32(y) || !fitsInt32(z)) {
            why = "coordinates (" + exactText(point.getX()) + ", " + exactText(point.getY()) + ", " +
                  exactText(point.getZ()) +
                  ") do not fit 32-bit integers with the scale and offset of the file";
            return false;
        }
        raw.x = roundToInt32(x);
        raw.y = roundToInt32(y);
        raw.z = roundToInt32(z);
        if (!encodeReturnsAndClass<P, N>(point, raw, why)) {
            return false;
        }
        std::int32_t millidegrees = 0;
        if constexpr (std::is_same_v<P, LasPoint>) {
            millidegrees = point.getScanAngleMillidegrees();
            raw.intensity = point.getRawIntensity();
            raw.nir = point.getNir();
            if (const LasWavePacket* packet = point.getWavePacket()) {
                raw.wavePacket = *packet;
            }
        } else {
            millidegrees = millidegreesFromDegrees(point.getScanAngle());
            raw.intensity = intensityFromDouble(point.getIntensity());
        }
        constexpr std::int32_t step = FORMAT.extended ? 6 : 1000;
        const std::int32_t angle = roundedQuotient(millidegrees, step);
        constexpr std::int32_t angleLimit = FORMAT.extended ? std::numeric_limits<std::int16_t>::max()
                                                            : std::numeric_limits<std::int8_t>::max();
        if (angle > angleLimit || angle < -angleLimit - 1) {
            return unfit(why, "scan angle " + exactText(millidegrees / 1000.0) + "°");
        }
        raw.scanAngle = static_cast<std::int16_t>(angle);
        raw.scanDirection = point.getScanDirection() != 0 ? 1 : 0;
        raw.edgeOfFlightLine = point.getEdgeOfFlightLine() != 0 ? 1 : 0;
        raw.userData = point.getUserData();
        raw.pointSourceId = point.getSourceId();
        raw.gpsTime = point.getTime();
        const ColorRGB& color = point.getColor();
        raw.red = color.red;
        raw.green = color.green;
        raw.blue = color.blue;
        Raw::encodePointRecord<N>(raw, bytes);
        stored.xyz = {raw.x, raw.y, raw.z};
        stored.returnNumber = raw.returnNumber;
        if (mExtraBytes.fieldCount() == 0 && point.values.empty()) {
            return true;
        }
        return mExtraBytes.encode(point.values, bytes + FORMAT.standardLength, why);
    }

    // Returns, class, its flags and the scanner channel, within what point format `N` holds.
    template <typename P, std::uint8_t N>
    bool encodeReturnsAndClass(const P& point, Raw::RawPointRecord& raw, std::string& why) const {
        static constexpr Raw::PointFormat FORMAT = Raw::POINT_FORMATS[N];
        constexpr std::uint32_t returnLimit = FORMAT.extended ? 15 : 7;
        if (point.getReturnNumber() > returnLimit || point.getNbReturns() > returnLimit) {
            return unfit(why,
                         "return number " + std::to_string(point.getReturnNumber()) + " of " +
                             std::to_string(point.getNbReturns()),
                         "at most " + std::to_string(returnLimit));
        }
        raw.returnNumber = static_cast<std::uint8_t>(point.getReturnNumber());
        raw.numberOfReturns = static_cast<std::uint8_t>(point.getNbReturns());
        raw.classification = point.getClassification();
        raw.classificationFlags = static_cast<std::uint8_t>(point.getClassificationFlags().mask() & 0x0Fu);
        raw.scannerChannel = point.getScannerChannel();
        if constexpr (!FORMAT.extended) {
            if (raw.classification > 31) {
                return unfit(why, "class " + std::to_string(raw.classification), "at most 31");
            }
            if ((raw.classificationFlags & 0x08u) != 0) {
                return unfit(why, "the overlap flag");
            }
            if (raw.scannerChannel != 0) {
                return unfit(why, "scanner channel " + std::to_string(raw.scannerChannel), "only 0");
            }
        } else {
            if (raw.scannerChannel > 3) {
                return unfit(why, "scanner channel " + std::to_string(raw.scannerChannel), "at most 3");
            }
        }
        return true;
    }

    static bool fitsInt32(double scaled) {
        constexpr double LOWEST = std::numeric_limits<std::int32_t>::min() - 0.5;
        constexpr double HIGHEST = std::numeric_limits<std::int32_t>::max() + 0.5;
        return scaled > LOWEST && scaled < HIGHEST;
    }

    // Half away from zero relative to the offset; `scaled` fits.
    static std::int32_t roundToInt32(double scaled) {
        return static_cast<std::int32_t>(scaled + std::copysign(0.5, scaled));
    }

    static std::int32_t roundedQuotient(std::int32_t dividend, std::int32_t divisor) {
        const std::int64_t wide = dividend;
        const std::int64_t half = divisor / 2;
        return static_cast<std::int32_t>(wide >= 0 ? (wide + half) / divisor : -((-wide + half) / divisor));
    }

    bool unfit(std::string& why, const std::string& what, const std::string& limit = {}) const {
        why = what + " does not fit point format " + std::to_string(mFormat.number) +
              (limit.empty() ? "" : " (" + limit + ")");
        return false;
    }

    Raw::PointFormat mFormat;
    Xyz mScale;
    Xyz mOffset;
    Xyz mInverseScale;
    ExtraBytesLayout mExtraBytes;
};

} // namespace Orvid::FileIoInterface::Las
