#include "Gather/DifferenceClass.h"

namespace Orvid::Compare {

std::string_view nameOf(DifferenceClass kind) {
    switch (kind) {
    case DifferenceClass::removed:
        return "removed";
    case DifferenceClass::added:
        return "added";
    case DifferenceClass::modified:
        return "modified";
    case DifferenceClass::mutated:
        return "mutated";
    case DifferenceClass::altered:
        return "altered";
    }
    return "?";
}

std::optional<DifferenceClass> differenceClassNamed(std::string_view name) {
    for (const DifferenceClass kind : ALL_DIFFERENCE_CLASSES) {
        if (nameOf(kind) == name) {
            return kind;
        }
    }
    return std::nullopt;
}

std::string counted(std::uint64_t count, std::string_view noun) {
    return std::to_string(count) + ' ' + std::string(noun) + (count == 1 ? "" : "s");
}

} // namespace Orvid::Compare
