#pragma once

#include <FileIoInterface/InputOutputPoint.h>

#include <memory>

namespace Orvid::Testing {

/// A point held entirely in memory, with every standard attribute as a public field.
class MemoryPoint final : public FileIoInterface::InputOutputPoint {
public:
    using InputOutputPoint::InputOutputPoint;

    double time = 0.0;
    std::size_t returnNumber = 1;
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    double intensity = 0.0;
    std::uint8_t classification = 0;
    std::uint8_t userData = 0;
    std::size_t nbReturns = 1;
    FileIoInterface::ClassificationFlags classificationFlags;
    std::uint8_t scannerChannel = 0;
    std::uint8_t scanDirection = 0;
    std::uint8_t edgeOfFlightLine = 0;
    double scanAngle = 0.0;
    std::uint16_t sourceId = 0;
    FileIoInterface::ColorRGB color;

    std::unique_ptr<InputOutputPoint> clone() const override { return std::make_unique<MemoryPoint>(*this); }
    double getTime() const override { return time; }
    std::size_t getReturnNumber() const override { return returnNumber; }
    double getX() const override { return x; }
    double getY() const override { return y; }
    double getZ() const override { return z; }
    double getIntensity() const override { return intensity; }
    void setTime(double value) override { time = value; }
    void setX(double value) override { x = value; }
    void setY(double value) override { y = value; }
    void setZ(double value) override { z = value; }
    void setIntensity(double value) override { intensity = value; }
    void setReturnNumber(std::size_t value) override { returnNumber = value; }
    void setNbReturns(std::size_t value) override { nbReturns = value; }
    std::uint8_t getClassification() const override { return classification; }
    void setClassification(std::uint8_t value) override { classification = value; }
    void setUserData(std::uint8_t value) override { userData = value; }
    void setSourceId(std::uint16_t value) override { sourceId = value; }
    std::uint8_t getUserData() const override { return userData; }
    std::size_t getNbReturns() const override { return nbReturns; }
    FileIoInterface::ClassificationFlags getClassificationFlags() const override {
        return classificationFlags;
    }
    std::uint8_t getScannerChannel() const override { return scannerChannel; }
    std::uint8_t getScanDirection() const override { return scanDirection; }
    std::uint8_t getEdgeOfFlightLine() const override { return edgeOfFlightLine; }
    double getScanAngle() const override { return scanAngle; }
    std::uint16_t getSourceId() const override { return sourceId; }
    const FileIoInterface::ColorRGB& getColor() const override { return color; }
    void setColor(const FileIoInterface::ColorRGB& value) override { color = value; }
};

/// A point with the given key and position and default attributes.
std::unique_ptr<MemoryPoint> makePoint(double time, std::size_t returnNumber, double x = 0.0, double y = 0.0,
                                       double z = 0.0);

} // namespace Orvid::Testing
