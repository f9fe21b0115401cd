#pragma once

namespace Orvid::Maths {

/// A closed interval [lower, upper]. An interval whose lower bound exceeds its upper bound is empty.
template <typename T>
struct Interval {
    T lower{};
    T upper{};
};

} // namespace Orvid::Maths
