#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace Orvid::Compare::Engine {

/// The point attributes compared on paired points, in the order of the library's comparator: the
/// value is the bit of an `AttributeMask` and the index of a counter.
enum class ComparedAttribute : std::uint8_t {
    intensity = 0,
    nbReturns = 1,
    classificationFlags = 2,
    scannerChannel = 3,
    scanDirection = 4,
    edgeOfFlightLine = 5,
    classification = 6,
    userData = 7,
    scanAngle = 8,
    sourceId = 9,
    color = 10,
};

constexpr std::size_t COMPARED_ATTRIBUTE_COUNT = 11;

/// Bit k set: attribute k differs.
using AttributeMask = std::uint16_t;

/// The display name of `attribute`, as the library's statistics report prints it ("intensity",
/// "nbReturns", ..., "color").
const char* attributeName(ComparedAttribute attribute);

/// Per attribute, the number of paired points that differ in it; only mutated pairs count.
struct AttributeCounters {
    std::array<std::uint64_t, COMPARED_ATTRIBUTE_COUNT> counts{};

    /// Counts one pair that differs in the attributes of `differences`.
    void count(AttributeMask differences) {
        for (std::size_t index = 0; index < COMPARED_ATTRIBUTE_COUNT; ++index) {
            counts[index] += (static_cast<unsigned>(differences) >> index) & 1u;
        }
    }
    AttributeCounters& operator+=(const AttributeCounters& other);
    std::uint64_t operator[](ComparedAttribute attribute) const {
        return counts[static_cast<std::size_t>(attribute)];
    }
    friend bool operator==(const AttributeCounters& a, const AttributeCounters& b) {
        return a.counts == b.counts;
    }
};

} // namespace Orvid::Compare::Engine
