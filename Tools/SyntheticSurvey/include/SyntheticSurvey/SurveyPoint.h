#pragma once

#include <FileIoInterface/ClassificationFlag.h>
#include <FileIoInterface/ColorRGB.h>

#include <cstdint>

namespace Orvid::SyntheticSurvey {

/// One generated lidar return, with every standard attribute of an airborne point. Coordinates are
/// multiples of 0.01 m, the scale of the files the survey is written to.
struct SurveyPoint {
    /// Adjusted standard GPS time, in seconds.
    double time = 0.0;
    std::uint8_t returnNumber = 1;
    std::uint8_t nbReturns = 1;
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    std::uint16_t intensity = 0;
    std::uint8_t classification = 0;
    FileIoInterface::ClassificationFlags classificationFlags;
    std::uint8_t scannerChannel = 0;
    std::uint8_t scanDirection = 0;
    std::uint8_t edgeOfFlightLine = 0;
    std::uint8_t userData = 0;
    /// Degrees; multiples of 0.006 degrees.
    double scanAngle = 0.0;
    /// The flight line: leg index plus one.
    std::uint16_t sourceId = 0;
    FileIoInterface::ColorRGB color;
    /// The two extra attributes: echo amplitude (hundredths of a dB) and pulse width (tenths of a ns).
    std::uint16_t amplitude = 0;
    std::uint8_t pulseWidth = 0;
};

} // namespace Orvid::SyntheticSurvey
