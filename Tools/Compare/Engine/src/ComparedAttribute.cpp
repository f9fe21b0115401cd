#include <CompareEngine/ComparedAttribute.h>

namespace Orvid::Compare::Engine {
namespace {

constexpr bool inEnumeratorOrder() {
    for (std::size_t index = 0; index < COMPARED_ATTRIBUTE_COUNT; ++index) {
        if (static_cast<std::size_t>(COMPARED_ATTRIBUTES[index].attribute) != index) {
            return false;
        }
    }
    return true;
}

// The table is indexed by enumerator, and an enumerator is a bit of a mask.
static_assert(inEnumeratorOrder(), "COMPARED_ATTRIBUTES lists every enumerator once, in order");
static_assert(COMPARED_ATTRIBUTE_COUNT == static_cast<std::size_t>(ComparedAttribute::color) + 1,
              "COMPARED_ATTRIBUTES ends with the last enumerator");
static_assert(COMPARED_ATTRIBUTE_COUNT <= 8 * sizeof(AttributeMask), "an AttributeMask has a bit for each");

} // namespace

AttributeCounters& AttributeCounters::operator+=(const AttributeCounters& other) {
    for (std::size_t index = 0; index < COMPARED_ATTRIBUTE_COUNT; ++index) {
        counts[index] += other.counts[index];
    }
    return *this;
}

} // namespace Orvid::Compare::Engine
