#pragma once

#include <cstdint>

namespace Orvid::Maths {

/// Direction in which a scanner's mirror or prism turns, seen along the flight direction.
enum class SpinDirection : std::uint8_t {
    Unknown = 0,
    Clockwise = 1,
    CounterClockwise = 2,
};

} // namespace Orvid::Maths
