#include "CandidateGrid.h"

namespace Orvid::Compare::Engine {

namespace {

/// Cells per candidate beyond which cells are widened: the cells of an extent sized by the spacing
/// number at most about three per candidate, and rounding must not let them run away.
constexpr double MOST_CELLS_PER_CANDIDATE = 4.0;

} // namespace

bool CandidateGrid::layOut(std::size_t count, const Extent& extent, double epsilon) {
    mEpsilon = epsilon;
    sizeCells(count, extent.high[0] - extent.low[0], extent.high[1] - extent.low[1]);
    return coverExtent(count, extent);
}

void CandidateGrid::sizeCells(std::size_t count, double width, double height) {
    // Any positive size serves an exact comparison; otherwise two epsilons let it reach two cells per
    // axis at most.
    mExact = !(mEpsilon > 0.0);
    const double least = mExact ? 0.0 : 2.0 * mEpsilon;
    // The side of a square holding one candidate on average, or of a segment when they lie on a line.
    const auto points = static_cast<double>(std::max<std::size_t>(count, 1));
    const double spacing = std::max(std::sqrt(width * height / points), std::max(width, height) / points);
    mCellSize = std::max(least, spacing);
    if (!std::isfinite(least)) {
        // An epsilon beyond every distance: one cell holds every candidate.
        mCellSize = std::numeric_limits<double>::infinity();
    } else if (!(mCellSize > 0.0) || !std::isfinite(mCellSize)) {
        mCellSize = least > 0.0 ? least : 1.0;
    }
}

bool CandidateGrid::coverExtent(std::size_t count, const Extent& extent) {
    const double most = MOST_CELLS_PER_CANDIDATE * static_cast<double>(count) + 16.0;
    for (;;) {
        mCellsPerUnit = 1.0 / mCellSize;
        std::int64_t first[2] = {0, 0};
        std::int64_t last[2] = {0, 0};
        if (!cellOf(extent.low[0], first[0]) || !cellOf(extent.low[1], first[1]) ||
            !cellOf(extent.high[0], last[0]) || !cellOf(extent.high[1], last[1])) {
            return false;
        }
        // In doubles, which cannot overflow here.
        const double columns = static_cast<double>(last[0]) - static_cast<double>(first[0]) + 1.0;
        const double rows = static_cast<double>(last[1]) - static_cast<double>(first[1]) + 1.0;
        if (columns * rows <= most) {
            mFirstColumn = first[0];
            mFirstRow = first[1];
            mColumns = last[0] - first[0] + 1;
            mRows = last[1] - first[1] + 1;
            const bool rowsShorter = mRows <= mColumns;
            mColumnStride = rowsShorter ? static_cast<std::size_t>(mRows) : 1;
            mRowStride = rowsShorter ? 1 : static_cast<std::size_t>(mColumns);
            // Written so that an infinite epsilon over infinite cells (NaN) reaches half a cell too.
            const double reach = mEpsilon / mCellSize;
            mReach = mExact ? 0.0 : (reach < 0.5 ? reach : 0.5);
            return true;
        }
        mCellSize *= 2.0;
    }
}

void CandidateGrid::countSlots() {
    for (const Index cell : mCellOf) {
        if (cell != NO_CELL) {
            ++mCellStarts[cell + 1];
        }
    }
    for (std::size_t cell = 1; cell < mCellStarts.size(); ++cell) {
        mCellStarts[cell] += mCellStarts[cell - 1];
    }
    const std::size_t slots = mCellStarts[mCellStarts.size() - 1];
    // Never more than the room made for every candidate.
    mSlots.resize(slots);
    mUnpaired.reset(slots);
}

std::size_t CandidateGrid::cellSplit(std::size_t share, std::size_t shares) const {
    const std::size_t cells = mCellStarts.size() - 1;
    if (share == shares) {
        return cells;
    }
    const auto slots = static_cast<Index>(std::uint64_t{mCellStarts[cells]} * share / shares);
    return static_cast<std::size_t>(std::lower_bound(mCellStarts.begin(), mCellStarts.end() - 1, slots) -
                                    mCellStarts.begin());
}

void CandidateGrid::endSlots() {
    // Placing moved each start to the next cell's start; the last entry, the end, never moved.
    for (std::size_t cell = mCellStarts.size() - 1; cell > 0; --cell) {
        mCellStarts[cell] = mCellStarts[cell - 1];
    }
    mCellStarts[0] = 0;
}

} // namespace Orvid::Compare::Engine
