#pragma once

#include <FileIoInterface/AttributeValue.h>
#include <FileIoInterface/ClassificationFlag.h>
#include <FileIoInterface/ColorRGB.h>
#include <FileIoInterface/FileIoInterfaceExport.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace Orvid::FileIoInterface {

/// The point record that every point-cloud reader hands out and every writer takes. The base owns
/// the point's additional attribute values, described by its leg's `LegInformation::attributes`; a
/// format's concrete class stores the standard attributes behind the accessors. Points travel as
/// `std::unique_ptr<InputOutputPoint>` and are not moved themselves: moving a point copies `values`.
/// Units (time, coordinates, intensity, scan angle) are those of the format plug-in.
struct FILEIOINTERFACE_EXPORT InputOutputPoint {
    /// The additional attribute values, in the order of the leg's descriptors.
    std::vector<Attribute::Value> values;

    InputOutputPoint(const std::vector<Attribute::Value>& values = {});
    InputOutputPoint(const InputOutputPoint& other);
    InputOutputPoint& operator=(const InputOutputPoint& other);
    virtual ~InputOutputPoint();

    /// 100 times the machine epsilon of `double`, 2.220446049250313e-14.
    static double epsilon();

    /// A copy of the whole point; the copy has the dynamic type of this point.
    virtual std::unique_ptr<InputOutputPoint> clone() const = 0;
    /// Time stamp (GPS time for airborne lidar); with the return number, the point's identity.
    virtual double getTime() const = 0;
    virtual std::size_t getReturnNumber() const = 0;
    virtual double getX() const = 0;
    virtual double getY() const = 0;
    virtual double getZ() const = 0;
    virtual double getIntensity() const = 0;
    virtual void setTime(double time) = 0;
    virtual void setX(double x) = 0;
    virtual void setY(double y) = 0;
    virtual void setZ(double z) = 0;
    virtual void setIntensity(double intensity) = 0;
    virtual void setReturnNumber(std::size_t returnNumber) = 0;
    virtual void setNbReturns(std::size_t nbReturns) = 0;
    virtual std::uint8_t getClassification() const = 0;
    virtual void setClassification(std::uint8_t classification) = 0;
    virtual void setUserData(std::uint8_t userData) = 0;
    virtual void setSourceId(std::uint16_t sourceId) = 0;
    virtual std::uint8_t getUserData() const = 0;
    virtual std::size_t getNbReturns() const = 0;
    virtual ClassificationFlags getClassificationFlags() const = 0;
    virtual std::uint8_t getScannerChannel() const = 0;
    virtual std::uint8_t getScanDirection() const = 0;
    virtual std::uint8_t getEdgeOfFlightLine() const = 0;
    /// Scan angle in degrees.
    virtual double getScanAngle() const = 0;
    /// Source identifier; for airborne lidar, the flight line.
    virtual std::uint16_t getSourceId() const = 0;
    virtual const ColorRGB& getColor() const = 0;
    virtual void setColor(const ColorRGB& color) = 0;
};

} // namespace Orvid::FileIoInterface
