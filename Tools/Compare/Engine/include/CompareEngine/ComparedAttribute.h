#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string_view>

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

/// One row of `COMPARED_ATTRIBUTES`: an attribute with its name and its label.
struct ComparedAttributeDescriptor {
    ComparedAttribute attribute = ComparedAttribute::intensity;
    /// As flags, the JSON report and the library's statistics report spell it.
    const char* name = "";
    /// As the charts show it to a reader.
    const char* label = "";
};

/// Every compared attribute, in enumerator order: the one list that the parser, the engine and the
/// reports read.
inline constexpr ComparedAttributeDescriptor COMPARED_ATTRIBUTES[] = {
    {ComparedAttribute::intensity, "intensity", "intensity"},
    {ComparedAttribute::nbReturns, "nbReturns", "number of returns"},
    {ComparedAttribute::classificationFlags, "classificationFlags", "classification flags"},
    {ComparedAttribute::scannerChannel, "scannerChannel", "scanner channel"},
    {ComparedAttribute::scanDirection, "scanDirection", "scan direction"},
    {ComparedAttribute::edgeOfFlightLine, "edgeOfFlightLine", "edge of flight line"},
    {ComparedAttribute::classification, "classification", "classification"},
    {ComparedAttribute::userData, "userData", "user data"},
    {ComparedAttribute::scanAngle, "scanAngle", "scan angle"},
    {ComparedAttribute::sourceId, "sourceId", "point source id"},
    {ComparedAttribute::color, "color", "colour"},
};

constexpr std::size_t COMPARED_ATTRIBUTE_COUNT = std::size(COMPARED_ATTRIBUTES);

/// Per compared attribute, in enumerator order, a number of pairs.
using AttributeCounts = std::array<std::uint64_t, COMPARED_ATTRIBUTE_COUNT>;

/// Bit k set: attribute k differs.
using AttributeMask = std::uint16_t;

/// The name under which options and reports speak of the GPS time, which pairs the points and so is
/// no compared attribute.
inline constexpr std::string_view GPS_TIME_NAME = "gpsTime";

/// The attribute of that exact name; absent for any other text, labels and "gpsTime" included.
constexpr std::optional<ComparedAttribute> attributeNamed(std::string_view name) {
    for (const ComparedAttributeDescriptor& descriptor : COMPARED_ATTRIBUTES) {
        if (name == descriptor.name) {
            return descriptor.attribute;
        }
    }
    return std::nullopt;
}

/// The mask with only the bit of `attribute` set.
constexpr AttributeMask maskOf(ComparedAttribute attribute) {
    return static_cast<AttributeMask>(1u << static_cast<unsigned>(attribute));
}

/// Per attribute, the number of paired points that differ in it; only mutated pairs count.
struct AttributeCounters {
    AttributeCounts counts{};

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
