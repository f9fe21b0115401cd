#include <CompareEngine/ComparedAttribute.h>
#include <CompareEngine/DecisionSink.h>

namespace Orvid::Compare::Engine {

namespace {

const char* const ATTRIBUTE_NAMES[COMPARED_ATTRIBUTE_COUNT] = {
    "intensity",      "nbReturns",     "classificationFlags",
    "scannerChannel", "scanDirection", "edgeOfFlightLine",
    "classification", "userData",      "scanAngle",
    "sourceId",       "color",
};

} // namespace

const char* attributeName(ComparedAttribute attribute) {
    return ATTRIBUTE_NAMES[static_cast<std::size_t>(attribute)];
}

void DecisionSink::scanned(const InputFacts&, const InputFacts&) {}

AttributeCounters& AttributeCounters::operator+=(const AttributeCounters& other) {
    for (std::size_t index = 0; index < COMPARED_ATTRIBUTE_COUNT; ++index) {
        counts[index] += other.counts[index];
    }
    return *this;
}

} // namespace Orvid::Compare::Engine
