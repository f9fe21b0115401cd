#pragma once

#include "UnpairedLinks.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace Orvid::Compare::Engine {

/// The reference candidates of one large key group, by square cell of the XY plane, so that a test
/// point meets only the candidates of the cells its epsilon reaches rather than all of them. Cells are
/// at least twice as wide as the horizontal epsilon, so that it reaches 2 x 2 cells at most (3 x 3 only
/// within a rounding error of a cell's middle), and about as wide as the candidates' spacing, so that a
/// sparse cloud's epsilon mostly reaches a single cell. The cells cover the candidates' extent in one
/// array: there are about as many as candidates, at most three times as many, and nearby points look
/// up nearby cells. Each cell keeps its candidates, with their x and y, in reading order and
/// skips paired ones, so that the first unpaired candidate in reading order that passes a test is found
/// as a linear scan over the whole group would find it.
class CandidateGrid {
public:
    static constexpr std::size_t NONE = std::numeric_limits<std::size_t>::max();

    /// Indexes candidates 0 to `count - 1` at `positionOf(k)` (x and y, as a std::array<double, 2>,
    /// asked for three times per candidate), all unpaired, for searches within `epsilon` on x and y.
    /// Candidates with a non-finite coordinate are left out: they are within epsilon of nothing. Returns
    /// false, leaving the grid unusable, when a coordinate is too far from 0 for its cell number to be
    /// exact.
    template <typename PositionOf>
    bool build(std::size_t count, PositionOf&& positionOf, double epsilon) {
        Extent extent;
        for (std::size_t candidate = 0; candidate < count; ++candidate) {
            extent.include(positionOf(candidate));
        }
        if (!layOut(count, extent, epsilon)) {
            return false;
        }
        for (std::size_t candidate = 0; candidate < count; ++candidate) {
            const auto [x, y] = positionOf(candidate);
            if (std::isfinite(x) && std::isfinite(y)) {
                ++mCellStarts[cellAt(x, y) + 1];
            }
        }
        startSlots();
        for (std::size_t candidate = 0; candidate < count; ++candidate) {
            const auto [x, y] = positionOf(candidate);
            if (std::isfinite(x) && std::isfinite(y)) {
                mSlots[mCellStarts[cellAt(x, y)]++] = {candidate, x, y};
            }
        }
        endSlots();
        return true;
    }

    /// The first unpaired candidate, in reading order, among those within epsilon of (x, y) on x and y
    /// for which `within(candidate, its x, its y)` holds; `NONE` when there is none.
    template <typename Within>
    std::size_t first(double x, double y, Within&& within) {
        std::int64_t columns[2] = {0, 0};
        std::int64_t rows[2] = {0, 0};
        if (!reach(x, mColumns, mFirstColumn, columns) || !reach(y, mRows, mFirstRow, rows)) {
            return NONE;
        }
        std::size_t best = NONE;
        for (std::int64_t row = rows[0]; row <= rows[1]; ++row) {
            for (std::int64_t column = columns[0]; column <= columns[1]; ++column) {
                const std::size_t cell = cellNumber(column, row);
                const std::size_t end = mCellStarts[cell + 1];
                for (std::size_t slot = mUnpaired.freeFrom(mCellStarts[cell]); slot < end;
                     slot = mUnpaired.freeFrom(slot + 1)) {
                    const Slot& candidate = mSlots[slot];
                    if (candidate.candidate >= best) {
                        break;
                    }
                    // The same test as the classifier's, so that it only spares calls.
                    if (std::fabs(candidate.x - x) <= mEpsilon && std::fabs(candidate.y - y) <= mEpsilon &&
                        within(candidate.candidate, candidate.x, candidate.y)) {
                        best = candidate.candidate;
                        mFoundSlot = slot;
                        break;
                    }
                }
            }
        }
        return best;
    }

    /// Takes the candidate that the last call of `first` found out of every later search.
    void pairedFound() { mUnpaired.take(mFoundSlot); }

    /// Takes `candidate`, indexed at (x, y), out of every later search.
    void paired(std::size_t candidate, double x, double y) {
        if (!std::isfinite(x) || !std::isfinite(y)) {
            return;
        }
        const std::size_t cell = cellAt(x, y);
        for (std::size_t slot = mCellStarts[cell]; slot < mCellStarts[cell + 1]; ++slot) {
            if (mSlots[slot].candidate == candidate) {
                mUnpaired.take(slot);
                return;
            }
        }
    }

private:
    /// The bounds of the candidates' finite positions.
    struct Extent {
        double low[2] = {0.0, 0.0};
        double high[2] = {0.0, 0.0};
        bool empty = true;

        void include(const std::array<double, 2>& position) {
            if (!std::isfinite(position[0]) || !std::isfinite(position[1])) {
                return;
            }
            for (std::size_t axis = 0; axis < 2; ++axis) {
                low[axis] = empty ? position[axis] : std::min(low[axis], position[axis]);
                high[axis] = empty ? position[axis] : std::max(high[axis], position[axis]);
            }
            empty = false;
        }
    };

    /// A candidate in its cell, with its position, so that a search reads one place.
    struct Slot {
        std::size_t candidate = NONE;
        double x = 0.0;
        double y = 0.0;
    };

    /// Beyond 2^52 cells from 0 a cell number is no longer exact; such points are left out.
    static constexpr double LIMIT = 4503599627370496.0;

    /// The cell number of a coordinate along one axis, from 0; false when it is not finite or too far
    /// from 0.
    bool cellOf(double value, std::int64_t& cell) const {
        const double quotient = std::floor(value / mCellSize);
        // A margin below the limit, so that every cell a search reaches is exact too.
        if (!(std::fabs(quotient) < LIMIT - 4.0)) {
            return false;
        }
        cell = static_cast<std::int64_t>(quotient);
        return true;
    }

    /// The first and last of the `count` cells from `first` on along one axis that a coordinate's
    /// epsilon reaches, widened by a rounding error on each side, numbered from 0; false when it
    /// reaches none of them.
    bool reach(double value, std::int64_t count, std::int64_t first, std::int64_t (&cells)[2]) const {
        const double scaled = value / mCellSize;
        if (!(std::fabs(scaled) < LIMIT - 2.0)) {
            return false;
        }
        // An exact comparison reaches no other cell.
        const double margin = mExact ? 0.0 : 1e-9 + std::fabs(scaled) * 1e-15;
        cells[0] = std::max<std::int64_t>(
            static_cast<std::int64_t>(std::floor(scaled - mReach - margin)) - first, 0);
        cells[1] = std::min<std::int64_t>(
            static_cast<std::int64_t>(std::floor(scaled + mReach + margin)) - first, count - 1);
        return cells[0] <= cells[1];
    }

    /// Chooses the cells for `count` candidates within `extent` and clears their counts; false when a
    /// corner of the extent is too far from 0.
    bool layOut(std::size_t count, const Extent& extent, double epsilon);
    /// Chooses the cell size for `count` candidates spread over `width` x `height`.
    void sizeCells(std::size_t count, double width, double height);
    /// Numbers the cells that cover `extent`; false when a corner is too far from 0.
    bool coverExtent(std::size_t count, const Extent& extent);
    /// Turns the counts of candidates per cell (each in the entry after its cell's) into first slots,
    /// and makes room for the candidates.
    void startSlots();
    /// Moves each cell's start back from where placing its candidates left it.
    void endSlots();
    /// The number of a cell of the extent by its column and row, both from 0.
    std::size_t cellNumber(std::int64_t column, std::int64_t row) const {
        return static_cast<std::size_t>(column) * mColumnStride + static_cast<std::size_t>(row) * mRowStride;
    }
    /// The cell of a candidate with finite coordinates within the extent.
    std::size_t cellAt(double x, double y) const {
        std::int64_t column = 0;
        std::int64_t row = 0;
        cellOf(x, column);
        cellOf(y, row);
        return cellNumber(column - mFirstColumn, row - mFirstRow);
    }

    double mCellSize = 1.0;
    double mEpsilon = 0.0;
    /// The epsilon in cells: 0.5 at most; 0 for an exact comparison.
    double mReach = 0.5;
    bool mExact = false;
    std::int64_t mFirstColumn = 0;
    std::int64_t mFirstRow = 0;
    std::int64_t mColumns = 0;
    std::int64_t mRows = 0;
    /// Cells are numbered along the shorter side first: a survey's scan lines mostly run across its
    /// strip, so that consecutive points then look up nearby cells.
    std::size_t mColumnStride = 1;
    std::size_t mRowStride = 1;
    /// Per cell, in the order of their numbers, its first slot; one more ends the last cell. A cell's
    /// candidates follow in reading order.
    std::vector<std::size_t> mCellStarts;
    std::vector<Slot> mSlots;
    /// The slots whose candidate is unpaired.
    UnpairedLinks mUnpaired;
    std::size_t mFoundSlot = 0;
};

} // namespace Orvid::Compare::Engine
