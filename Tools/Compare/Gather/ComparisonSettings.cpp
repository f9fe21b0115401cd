#include "Gather/ComparisonSettings.h"

#include <stdexcept>

namespace Orvid::Compare {

namespace {

constexpr const char* CRS_NAME = "crs";
constexpr const char* METADATA_NAME = "metadata";

} // namespace

std::vector<std::string> failOnNames(const DifferenceClasses& classes, Metadata::MetadataFailOn metadata) {
    std::vector<std::string> names;
    for (const DifferenceClass kind : ALL_DIFFERENCE_CLASSES) {
        if (classes.has(kind)) {
            names.emplace_back(nameOf(kind));
        }
    }
    if (metadata != Metadata::MetadataFailOn::none) {
        names.emplace_back(metadata == Metadata::MetadataFailOn::all ? METADATA_NAME : CRS_NAME);
    }
    return names;
}

bool isFailOnName(const std::string& name) {
    return name == CRS_NAME || name == METADATA_NAME || differenceClassNamed(name).has_value();
}

void readFailOnNames(const std::vector<std::string>& names, DifferenceClasses& classes,
                     Metadata::MetadataFailOn& metadata) {
    classes = DifferenceClasses();
    metadata = Metadata::MetadataFailOn::none;
    for (const std::string& name : names) {
        if (name == METADATA_NAME) {
            metadata = Metadata::MetadataFailOn::all;
        } else if (name == CRS_NAME) {
            metadata = metadata == Metadata::MetadataFailOn::all ? metadata : Metadata::MetadataFailOn::crs;
        } else if (const auto kind = differenceClassNamed(name)) {
            classes.add(*kind);
        } else {
            throw std::invalid_argument("failOn: '" + name + "' is neither a class, crs nor metadata");
        }
    }
}

} // namespace Orvid::Compare
