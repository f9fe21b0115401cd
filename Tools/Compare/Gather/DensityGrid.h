#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Orvid::Compare {

/// A rectangle of the XY plane, in coordinate units; empty while min > max.
struct Extent {
    double minX = 0.0;
    double minY = 0.0;
    double maxX = -1.0;
    double maxY = -1.0;

    /// Whether it covers at least one point: finite bounds, min <= max on both axes.
    bool valid() const;
    /// Grows it to cover `other` as well; an invalid `other` changes nothing.
    void include(const Extent& other);
};

/// Counts of points per cell of a grid of square cells laid over an extent, column 0 at the extent's
/// minimum x, row 0 at its minimum y. The side of a cell is the larger of sqrt(area / `cellBudget`) and
/// longer side / `maxCellsAlong`, so that the grid keeps the extent's proportions in about `cellBudget`
/// cells, and at most `maxCellsAlong` along either axis. A zero-width (zero-height) extent thus gets one
/// column (row), and a single-point extent one cell. Points on the extent's upper edges fall into the
/// last column or row.
class DensityGrid {
public:
    /// `extent` must be valid and both limits at least 1, else the grid has one cell and bins nothing.
    DensityGrid(const Extent& extent, std::size_t cellBudget, std::size_t maxCellsAlong);

    /// Counts the point in its cell and returns true; a point outside the extent, or with a NaN
    /// coordinate, is counted by `outside()` only.
    bool add(double x, double y);

    const Extent& extent() const { return mExtent; }
    /// Side of a cell, in coordinate units; positive.
    double cellSize() const { return mCellSize; }
    std::size_t columns() const { return mColumns; }
    std::size_t rows() const { return mRows; }
    std::uint64_t count(std::size_t column, std::size_t row) const {
        return mCounts[row * mColumns + column];
    }
    /// Every cell's count, row by row.
    const std::vector<std::uint64_t>& counts() const { return mCounts; }
    /// Adds the counts of a grid of the same extent and limits, as `counts()`, `binned()` and
    /// `outside()` gave them. Throws std::invalid_argument when `counts` has not one value per cell.
    void addCounts(const std::vector<std::uint64_t>& counts, std::uint64_t binned, std::uint64_t outside);
    /// The largest count of a cell.
    std::uint64_t maxCount() const;
    /// Points counted in cells, and points left out.
    std::uint64_t binned() const { return mBinned; }
    std::uint64_t outside() const { return mOutside; }

private:
    Extent mExtent;
    double mCellSize = 1.0;
    std::size_t mColumns = 1;
    std::size_t mRows = 1;
    bool mUsable = false;
    std::vector<std::uint64_t> mCounts;
    std::uint64_t mBinned = 0;
    std::uint64_t mOutside = 0;
};

} // namespace Orvid::Compare
