#pragma once

#include "UnpairedLinks.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace Orvid::Compare::Engine {

/// The reference candidates of one large key group, by square cell of the XY plane, so that a test
/// point meets only the candidates of the cells its epsilon reaches rather than all of them. Cells are
/// twice as wide as the horizontal epsilon, so that it reaches 2 x 2 cells, 3 x 3 only within a
/// rounding error of a cell's middle. Each cell
/// keeps its candidates in reading order and skips paired ones, so that the first unpaired candidate in
/// reading order that passes a test is found as a linear scan over the whole group would find it.
class CandidateGrid {
public:
    static constexpr std::size_t NONE = std::numeric_limits<std::size_t>::max();

    /// Indexes candidates 0 to `xs.size() - 1` at (xs[k], ys[k]), all unpaired, for searches within
    /// `epsilon` (>= 0) on x and y. Candidates with a non-finite coordinate are left out: they are within
    /// epsilon of nothing. Returns false, leaving the grid unusable, when a coordinate is too far from 0 for
    /// its cell number to be exact.
    bool build(const std::vector<double>& xs, const std::vector<double>& ys, double epsilon);

    /// The first unpaired candidate, in reading order, among those near (x, y) for which `within(k)`
    /// holds; `NONE` when there is none.
    template <typename Within>
    std::size_t first(double x, double y, Within&& within) {
        std::int64_t columns[2] = {0, 0};
        std::int64_t rows[2] = {0, 0};
        if (!reach(x, columns) || !reach(y, rows)) {
            return NONE;
        }
        std::size_t best = NONE;
        for (std::int64_t row = rows[0]; row <= rows[1]; ++row) {
            for (std::int64_t column = columns[0]; column <= columns[1]; ++column) {
                const std::size_t cell = find(column, row);
                if (cell == NONE) {
                    continue;
                }
                for (std::size_t slot = mUnpaired.freeFrom(mCellStarts[cell]); mSlots[slot] != NONE;
                     slot = mUnpaired.freeFrom(slot + 1)) {
                    const std::size_t candidate = mSlots[slot];
                    if (candidate >= best) {
                        break;
                    }
                    if (within(candidate)) {
                        best = candidate;
                        break;
                    }
                }
            }
        }
        return best;
    }

    /// Takes `candidate` out of every later search.
    void paired(std::size_t candidate) {
        const std::size_t slot = mSlotOf[candidate];
        if (slot != NONE) {
            mUnpaired.take(slot);
        }
    }

private:
    /// Beyond 2^52 cells from 0 a cell number is no longer exact; such points are left out.
    static constexpr double LIMIT = 4503599627370496.0;

    /// One entry of the open-addressing table from cell to cell number; `cell` is `NONE` when empty.
    struct Entry {
        std::int64_t column = 0;
        std::int64_t row = 0;
        std::size_t cell = NONE;
    };

    static std::size_t hashOf(std::int64_t column, std::int64_t row) {
        const auto mixed = static_cast<std::uint64_t>(column) * 0x9E3779B97F4A7C15ull ^
                           static_cast<std::uint64_t>(row) * 0xC2B2AE3D27D4EB4Full;
        return static_cast<std::size_t>(mixed ^ (mixed >> 31));
    }

    std::size_t find(std::int64_t column, std::int64_t row) const {
        for (std::size_t index = hashOf(column, row) & mMask;; index = (index + 1) & mMask) {
            const Entry& entry = mTable[index];
            if (entry.cell == NONE || (entry.column == column && entry.row == row)) {
                return entry.cell;
            }
        }
    }

    /// The cell number of a coordinate; false when it is not finite or too far from 0.
    bool cellOf(double value, std::int64_t& cell) const {
        const double quotient = std::floor(value / mCellSize);
        // A margin below the limit, so that every cell a search reaches is exact too.
        if (!(std::fabs(quotient) < LIMIT - 4.0)) {
            return false;
        }
        cell = static_cast<std::int64_t>(quotient);
        return true;
    }

    /// The first and last cell numbers that a coordinate's epsilon reaches along one axis: the cell of
    /// `value` and the neighbour on the side of the nearer half, both neighbours when `value` lies
    /// within a rounding error of the cell's middle.
    bool reach(double value, std::int64_t (&cells)[2]) const {
        const double scaled = value / mCellSize;
        const double quotient = std::floor(scaled);
        if (!(std::fabs(quotient) < LIMIT - 2.0)) {
            return false;
        }
        const double offset = scaled - quotient;
        const double margin = 1e-9 + std::fabs(scaled) * 1e-15;
        const auto cell = static_cast<std::int64_t>(quotient);
        cells[0] = offset < 0.5 + margin ? cell - 1 : cell;
        cells[1] = offset > 0.5 - margin ? cell + 1 : cell;
        if (mExact) {
            // An exact comparison reaches no other cell.
            cells[0] = cell;
            cells[1] = cell;
        }
        return true;
    }

    double mCellSize = 1.0;
    bool mExact = false;
    std::vector<Entry> mTable;
    std::size_t mMask = 0;
    /// Per cell (by its number in `mTable`), its first slot; its candidates follow in reading order,
    /// then a slot holding `NONE`.
    std::vector<std::size_t> mCellStarts;
    std::vector<std::size_t> mSlots;
    /// The slots whose candidate is unpaired, or that end a cell.
    UnpairedLinks mUnpaired;
    std::vector<std::size_t> mSlotOf;
    std::vector<std::size_t> mCellOf;
};

} // namespace Orvid::Compare::Engine
