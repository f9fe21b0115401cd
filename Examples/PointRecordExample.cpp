// A tour of the library's foundation: how an application listens to log lines and assertion
// reports, and how a plug-in's point class plugs into the point record.
#include <Core/Logging/Logger.h>
#include <FileIoInterface/ColorRGB.h>
#include <FileIoInterface/InputOutputPoint.h>
#include <Utils/CoreAssert.h>

#include <iostream>
#include <memory>

namespace {

using namespace Orvid;
using FileIoInterface::ClassificationFlags;
using FileIoInterface::ColorRGB;
using FileIoInterface::InputOutputPoint;

/// The smallest useful point class: what a format plug-in writes for its own records.
class ExamplePoint final : public InputOutputPoint {
public:
    using InputOutputPoint::InputOutputPoint;
    std::unique_ptr<InputOutputPoint> clone() const override { return std::make_unique<ExamplePoint>(*this); }
    double getTime() const override { return time; }
    std::size_t getReturnNumber() const override { return 1; }
    double getX() const override { return x; }
    double getY() const override { return y; }
    double getZ() const override { return z; }
    double getIntensity() const override { return 0.0; }
    void setTime(double value) override { time = value; }
    void setX(double value) override { x = value; }
    void setY(double value) override { y = value; }
    void setZ(double value) override { z = value; }
    void setIntensity(double) override {}
    void setReturnNumber(std::size_t) override {}
    void setNbReturns(std::size_t) override {}
    std::uint8_t getClassification() const override { return 2; }
    void setClassification(std::uint8_t) override {}
    void setUserData(std::uint8_t) override {}
    void setSourceId(std::uint16_t) override {}
    std::uint8_t getUserData() const override { return 0; }
    std::size_t getNbReturns() const override { return 1; }
    ClassificationFlags getClassificationFlags() const override { return {}; }
    std::uint8_t getScannerChannel() const override { return 0; }
    std::uint8_t getScanDirection() const override { return 0; }
    std::uint8_t getEdgeOfFlightLine() const override { return 0; }
    double getScanAngle() const override { return 0.0; }
    std::uint16_t getSourceId() const override { return 0; }
    const ColorRGB& getColor() const override { return color; }
    void setColor(const ColorRGB& value) override { color = value; }

    double time = 0.0, x = 0.0, y = 0.0, z = 0.0;
    ColorRGB color;
};

/// Sends the library's log lines to standard output.
class ConsoleLogger final : public Core::Logging::Logger {
public:
    void info(const std::string& message) override { std::cout << "log: " << message << '\n'; }
    void error(const std::string& message) override { std::cout << "log (error): " << message << '\n'; }
};

} // namespace

int main() {
    // The suite holds the logger weakly: keep it alive for as long as lines should reach it.
    const auto logger = std::make_shared<ConsoleLogger>();
    Core::Logging::sLogger = logger;

    // An application may turn failed assertions into exceptions, aborts or records; here they print.
    CoreAssert::setAssertHandler([](const std::string& message, const char* file, std::uint64_t line) {
        std::cout << "assertion: " << message << " (" << file << ':' << line << ")\n";
    });

    std::unique_ptr<InputOutputPoint> point = std::make_unique<ExamplePoint>();
    point->setX(470692.44);
    point->setColor({1200, 1180, 1100});
    const std::unique_ptr<InputOutputPoint> copy = point->clone();
    copy->setColor({1205, 1180, 1095});

    std::cout << "point x: " << point->getX() << ", copy x: " << copy->getX() << '\n';
    std::cout << "colours equal: " << std::boolalpha << (point->getColor() == copy->getColor())
              << ", equivalent within 5: " << point->getColor().isEquivalentTo(copy->getColor(), 5) << '\n';
    std::cout << "point epsilon: " << InputOutputPoint::epsilon() << '\n';
    CORE_ASSERT(point->getX() < 0.0);
    return 0;
}
