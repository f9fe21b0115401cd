#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Orvid::Compare {

/// The five kinds of difference a comparison reports, in report order.
enum class DifferenceClass : std::uint8_t { removed, added, modified, mutated, altered };

constexpr std::array<DifferenceClass, 5> ALL_DIFFERENCE_CLASSES = {
    DifferenceClass::removed, DifferenceClass::added, DifferenceClass::modified, DifferenceClass::mutated,
    DifferenceClass::altered};

/// "removed", "added", "modified", "mutated" or "altered".
std::string_view nameOf(DifferenceClass kind);
/// The class named `name`, if any.
std::optional<DifferenceClass> differenceClassNamed(std::string_view name);

/// A set of difference classes.
class DifferenceClasses {
public:
    static DifferenceClasses all() {
        DifferenceClasses classes;
        classes.mMask = 0x1F;
        return classes;
    }
    void add(DifferenceClass kind) { mMask |= bit(kind); }
    bool has(DifferenceClass kind) const { return (mMask & bit(kind)) != 0; }
    bool empty() const { return mMask == 0; }

private:
    static std::uint8_t bit(DifferenceClass kind) {
        return static_cast<std::uint8_t>(1U << static_cast<unsigned>(kind));
    }
    std::uint8_t mMask = 0;
};

/// A count per difference class.
struct ClassCounts {
    std::array<std::uint64_t, 5> counts{};

    std::uint64_t& operator[](DifferenceClass kind) { return counts[static_cast<std::size_t>(kind)]; }
    std::uint64_t operator[](DifferenceClass kind) const { return counts[static_cast<std::size_t>(kind)]; }
    std::uint64_t total() const { return counts[0] + counts[1] + counts[2] + counts[3] + counts[4]; }
};

/// "1 point", "2 points": a count with its noun, in the plural unless it is one.
std::string counted(std::uint64_t count, std::string_view noun);

} // namespace Orvid::Compare
