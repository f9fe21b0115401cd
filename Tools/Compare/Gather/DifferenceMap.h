#pragma once

#include "Gather/DensityGrid.h"
#include "Gather/DifferenceClass.h"

#include <array>
#include <cstddef>

namespace Orvid::Compare {

/// Where the points of a comparison lie, binned on one grid over the inputs' extent: all reference
/// points, and the differing points of each class (the test points' positions as read; the reference
/// positions of removed points).
struct DifferenceMap {
    /// Cells of each grid, about, and at most along either axis.
    static constexpr std::size_t CELL_BUDGET = 40000;
    static constexpr std::size_t MAX_CELLS_ALONG = 2000;

    explicit DifferenceMap(const Extent& extent);

    DensityGrid& of(DifferenceClass kind) { return classes[static_cast<std::size_t>(kind)]; }
    const DensityGrid& of(DifferenceClass kind) const { return classes[static_cast<std::size_t>(kind)]; }

    DensityGrid reference;
    std::array<DensityGrid, 5> classes;
};

} // namespace Orvid::Compare
