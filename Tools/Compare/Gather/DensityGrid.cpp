#include "Gather/DensityGrid.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace Orvid::Compare {
namespace {

/// The cell that holds the point `offset` (>= 0) units from the start of an axis of `cells` cells.
std::size_t cellOf(double offset, double cellSize, std::size_t cells) {
    // The upper edge, and values a rounding error short of it, belong to the last cell.
    return std::min(cells - 1, static_cast<std::size_t>(offset / cellSize));
}

std::size_t cellsAlong(double length, double cellSize, std::size_t maxCells) {
    const double cells = std::min(std::ceil(length / cellSize), static_cast<double>(maxCells));
    return std::max<std::size_t>(1, static_cast<std::size_t>(cells));
}

} // namespace

bool Extent::valid() const {
    return std::isfinite(minX) && std::isfinite(minY) && std::isfinite(maxX) && std::isfinite(maxY) &&
           minX <= maxX && minY <= maxY;
}

void Extent::include(const Extent& other) {
    if (!other.valid()) {
        return;
    }
    if (!valid()) {
        *this = other;
        return;
    }
    minX = std::min(minX, other.minX);
    minY = std::min(minY, other.minY);
    maxX = std::max(maxX, other.maxX);
    maxY = std::max(maxY, other.maxY);
}

DensityGrid::DensityGrid(const Extent& extent, std::size_t cellBudget, std::size_t maxCellsAlong)
    : mExtent(extent)
    , mUsable(extent.valid() && cellBudget > 0 && maxCellsAlong > 0) {
    if (mUsable) {
        const double width = extent.maxX - extent.minX;
        const double height = extent.maxY - extent.minY;
        mCellSize = std::max(std::sqrt(width * height / static_cast<double>(cellBudget)),
                             std::max(width, height) / static_cast<double>(maxCellsAlong));
        // A single-point extent still needs a positive cell size; any will do.
        if (!(mCellSize > 0.0) || !std::isfinite(mCellSize)) {
            mCellSize = 1.0;
        }
        mColumns = cellsAlong(width, mCellSize, maxCellsAlong);
        mRows = cellsAlong(height, mCellSize, maxCellsAlong);
    }
    mCounts.assign(mColumns * mRows, 0);
}

bool DensityGrid::add(double x, double y) {
    // Written so that a NaN fails the test.
    if (!(mUsable && x >= mExtent.minX && x <= mExtent.maxX && y >= mExtent.minY && y <= mExtent.maxY)) {
        ++mOutside;
        return false;
    }
    const std::size_t column = cellOf(x - mExtent.minX, mCellSize, mColumns);
    const std::size_t row = cellOf(y - mExtent.minY, mCellSize, mRows);
    ++mCounts[row * mColumns + column];
    ++mBinned;
    return true;
}

void DensityGrid::addCounts(const std::vector<std::uint64_t>& counts, std::uint64_t binned,
                            std::uint64_t outside) {
    if (counts.size() != mCounts.size()) {
        throw std::invalid_argument("a density grid of " + std::to_string(counts.size()) +
                                    " cells cannot be added to one of " + std::to_string(mCounts.size()));
    }
    for (std::size_t cell = 0; cell < mCounts.size(); ++cell) {
        mCounts[cell] += counts[cell];
    }
    mBinned += binned;
    mOutside += outside;
}

std::uint64_t DensityGrid::maxCount() const {
    return *std::max_element(mCounts.begin(), mCounts.end());
}

} // namespace Orvid::Compare
