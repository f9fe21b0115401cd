#pragma once

#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>

namespace Orvid::FileIoInterface::Las {

/// Degrees to the nearest thousandth of a degree, clamped to ±2 000 000°; NaN becomes 0.
inline std::int32_t millidegreesFromDegrees(double degrees) {
    constexpr double LIMIT = 2.0e9;
    const double millidegrees = degrees * 1000.0;
    if (std::isnan(millidegrees)) {
        return 0;
    }
    const double clamped = millidegrees < -LIMIT ? -LIMIT : (millidegrees > LIMIT ? LIMIT : millidegrees);
    return static_cast<std::int32_t>(std::lround(clamped));
}

/// An intensity to the nearest integer, clamped to 0 to 65535; NaN becomes 0.
inline std::uint16_t intensityFromDouble(double intensity) {
    if (!(intensity > 0.0)) {
        return 0;
    }
    return intensity >= 65535.0 ? std::uint16_t{65535} : static_cast<std::uint16_t>(std::lround(intensity));
}

/// `value` in the shortest form that reads back to the same double.
inline std::string exactText(double value) {
    std::ostringstream text;
    text.precision(17);
    text << value;
    return text.str();
}

} // namespace Orvid::FileIoInterface::Las
