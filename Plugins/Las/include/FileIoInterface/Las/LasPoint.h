#pragma once

#include <FileIoInterface/InputOutputPoint.h>
#include <FileIoInterface/Las/LasExport.h>
#include <FileIoInterface/Las/LasWavePacket.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace Orvid::FileIoInterface::Las {

/// A point of a LAS file, any point data record format from 0 to 10. Units: coordinates are the
/// file's real (scaled and offset) coordinates, time is the GPS time as stored (0.0 for formats
/// without one), intensity the 16-bit value, scan angle in degrees held to 0.001° (whole-degree
/// ranks of formats 0 to 5 and the 0.006° steps of formats 6 to 10 are both exact).
/// `values` holds the extra-bytes values raw (before the descriptor's scale and offset), each of the
/// `Attribute::Value` alternative its descriptor names; an undocumented extra byte is an unsigned
/// 8-bit value under a descriptor of data type `None`.
/// Setters store what the point can hold: counts and codes above 255 and intensities outside 0 to
/// 65535 are clamped. Whether a value fits a given point format is the writer's check.
class FILEIOINTERFACE_LAS_EXPORT LasPoint final : public InputOutputPoint {
public:
    explicit LasPoint(const std::vector<Attribute::Value>& values = {});
    LasPoint(const LasPoint& other);
    LasPoint& operator=(const LasPoint& other);
    ~LasPoint() override;

    std::unique_ptr<InputOutputPoint> clone() const override;

    double getTime() const override { return mTime; }
    std::size_t getReturnNumber() const override { return mReturnNumber; }
    double getX() const override { return mX; }
    double getY() const override { return mY; }
    double getZ() const override { return mZ; }
    double getIntensity() const override { return mIntensity; }
    void setTime(double time) override { mTime = time; }
    void setX(double x) override { mX = x; }
    void setY(double y) override { mY = y; }
    void setZ(double z) override { mZ = z; }
    /// Rounds to the nearest integer and clamps to 0 to 65535; NaN becomes 0.
    void setIntensity(double intensity) override;
    void setReturnNumber(std::size_t returnNumber) override { mReturnNumber = clampToByte(returnNumber); }
    void setNbReturns(std::size_t nbReturns) override { mNumberOfReturns = clampToByte(nbReturns); }
    std::uint8_t getClassification() const override { return mClassification; }
    void setClassification(std::uint8_t classification) override { mClassification = classification; }
    void setUserData(std::uint8_t userData) override { mUserData = userData; }
    void setSourceId(std::uint16_t sourceId) override { mSourceId = sourceId; }
    std::uint8_t getUserData() const override { return mUserData; }
    std::size_t getNbReturns() const override { return mNumberOfReturns; }
    /// Synthetic, key-point, withheld and overlap.
    ClassificationFlags getClassificationFlags() const override {
        return ClassificationFlags::fromMask(mBits & FLAGS_MASK);
    }
    /// 0 to 3.
    std::uint8_t getScannerChannel() const override { return (mBits >> CHANNEL_SHIFT) & 0x03u; }
    /// 1 when the scanner mirror moved in the positive direction, else 0.
    std::uint8_t getScanDirection() const override { return (mBits >> DIRECTION_SHIFT) & 0x01u; }
    /// 1 for the last point of a scan line, else 0.
    std::uint8_t getEdgeOfFlightLine() const override { return (mBits >> EDGE_SHIFT) & 0x01u; }
    /// Degrees, 0 at nadir.
    double getScanAngle() const override { return mScanAngleMillidegrees / 1000.0; }
    /// Point source id; for airborne lidar, the flight line.
    std::uint16_t getSourceId() const override { return mSourceId; }
    const ColorRGB& getColor() const override { return mColor; }
    void setColor(const ColorRGB& color) override { mColor = color; }

    /// Keeps the four LAS flags (synthetic, key-point, withheld, overlap) and drops any other bit.
    void setClassificationFlags(ClassificationFlags flags);
    /// Keeps the two low bits.
    void setScannerChannel(std::uint8_t channel);
    /// Any non-zero value stores 1.
    void setScanDirection(std::uint8_t direction);
    /// Any non-zero value stores 1.
    void setEdgeOfFlightLine(std::uint8_t edge);
    /// Degrees, rounded to 0.001° and clamped to ±2 000 000°; NaN becomes 0.
    void setScanAngle(double degrees);
    /// The scan angle in thousandths of a degree, exactly as held.
    std::int32_t getScanAngleMillidegrees() const { return mScanAngleMillidegrees; }
    void setScanAngleMillidegrees(std::int32_t millidegrees) { mScanAngleMillidegrees = millidegrees; }
    /// The 16-bit intensity, exactly as held.
    std::uint16_t getRawIntensity() const { return mIntensity; }
    void setRawIntensity(std::uint16_t intensity) { mIntensity = intensity; }
    /// Near-infrared channel (formats 8 and 10), 16 bits.
    std::uint16_t getNir() const { return mNir; }
    void setNir(std::uint16_t nir) { mNir = nir; }
    /// The wave packet reference (formats 4, 5, 9 and 10); null when the point has none. Owned by the
    /// point.
    const LasWavePacket* getWavePacket() const { return mWavePacket.get(); }
    void setWavePacket(const std::optional<LasWavePacket>& packet);
    /// The point data record format this point was read from; absent for a point made in memory. A
    /// writer that is not told a format picks one for the leg from its first point's.
    std::optional<std::uint8_t> getSourcePointFormat() const;
    void setSourcePointFormat(std::optional<std::uint8_t> format);

private:
    static constexpr std::uint8_t FLAGS_MASK = 0x0Fu;
    static constexpr unsigned CHANNEL_SHIFT = 4;
    static constexpr unsigned DIRECTION_SHIFT = 6;
    static constexpr unsigned EDGE_SHIFT = 7;
    static constexpr std::uint8_t NO_FORMAT = 0xFFu;

    static std::uint8_t clampToByte(std::size_t value) {
        return value > 0xFFu ? std::uint8_t{0xFF} : static_cast<std::uint8_t>(value);
    }
    void setBits(std::uint8_t mask, unsigned shift, std::uint8_t value);

    friend class PointCodec;

    double mX = 0.0;
    double mY = 0.0;
    double mZ = 0.0;
    double mTime = 0.0;
    std::unique_ptr<LasWavePacket> mWavePacket;
    std::int32_t mScanAngleMillidegrees = 0;
    std::uint16_t mIntensity = 0;
    std::uint16_t mSourceId = 0;
    ColorRGB mColor;
    std::uint16_t mNir = 0;
    std::uint8_t mReturnNumber = 0;
    std::uint8_t mNumberOfReturns = 0;
    std::uint8_t mClassification = 0;
    std::uint8_t mUserData = 0;
    /// Classification flags in bits 0 to 3, scanner channel in 4 and 5, scan direction in 6, edge of
    /// flight line in 7: the layout of the flags byte of formats 6 to 10.
    std::uint8_t mBits = 0;
    std::uint8_t mSourcePointFormat = NO_FORMAT;
};

} // namespace Orvid::FileIoInterface::Las
