#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <unordered_map>
#include <vector>

namespace Orvid::Compare::Engine {

/// The reference candidates of one large key group, by square cell of the XY plane, so that a test
/// point meets only the candidates of the 3 x 3 cells around it rather than all of them. Cells are at
/// least as wide as the horizontal epsilon, so every candidate within it lies in those cells. Each cell
/// keeps its candidates in reading order and skips paired ones, so that the first unpaired candidate in
/// reading order that passes a test is found as a linear scan over the whole group would find it.
class CandidateGrid {
public:
    static constexpr std::size_t NONE = std::numeric_limits<std::size_t>::max();

    /// Indexes candidates 0 to `xs.size() - 1` at (xs[k], ys[k]), all unpaired, with cells of side
    /// `cellSize` (> 0). Candidates with a non-finite coordinate are left out: they are within epsilon
    /// of nothing. Returns false, leaving the grid unusable, when a coordinate is too far from 0 for
    /// its cell number to be exact.
    bool build(const std::vector<double>& xs, const std::vector<double>& ys, double cellSize);

    /// The first unpaired candidate, in reading order, among those near (x, y) for which `within(k)`
    /// holds; `NONE` when there is none.
    template <typename Within>
    std::size_t first(double x, double y, Within&& within) {
        std::int64_t column = 0;
        std::int64_t row = 0;
        if (!cellOf(x, y, column, row)) {
            return NONE;
        }
        std::size_t best = NONE;
        for (std::int64_t dy = -1; dy <= 1; ++dy) {
            for (std::int64_t dx = -1; dx <= 1; ++dx) {
                const auto cell = mCells.find(Cell{column + dx, row + dy});
                if (cell == mCells.end()) {
                    continue;
                }
                for (std::size_t slot = unpairedFrom(mCellStarts[cell->second]); mSlots[slot] != NONE;
                     slot = unpairedFrom(slot + 1)) {
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
            mSkip[slot] = slot + 1;
        }
    }

private:
    struct Cell {
        std::int64_t column = 0;
        std::int64_t row = 0;
        friend bool operator==(const Cell& a, const Cell& b) {
            return a.column == b.column && a.row == b.row;
        }
    };
    struct CellHash {
        std::size_t operator()(const Cell& cell) const {
            const auto mixed = static_cast<std::uint64_t>(cell.column) * 0x9E3779B97F4A7C15ull ^
                               static_cast<std::uint64_t>(cell.row) * 0xC2B2AE3D27D4EB4Full;
            return static_cast<std::size_t>(mixed ^ (mixed >> 29));
        }
    };

    bool cellOf(double x, double y, std::int64_t& column, std::int64_t& row) const {
        // Beyond 2^52 cells from 0 a cell number is no longer exact; such points are left out.
        constexpr double LIMIT = 4503599627370496.0;
        const double fx = std::floor(x / mCellSize);
        const double fy = std::floor(y / mCellSize);
        if (!(std::fabs(fx) < LIMIT && std::fabs(fy) < LIMIT)) {
            return false;
        }
        column = static_cast<std::int64_t>(fx);
        row = static_cast<std::int64_t>(fy);
        return true;
    }

    /// The first slot from `slot` on that holds an unpaired candidate or ends its cell.
    std::size_t unpairedFrom(std::size_t slot);

    double mCellSize = 1.0;
    std::unordered_map<Cell, std::size_t, CellHash> mCells;
    /// Per cell (by its number in `mCells`), its first slot; its candidates follow in reading order,
    /// then a slot holding `NONE`.
    std::vector<std::size_t> mCellStarts;
    std::vector<std::size_t> mSlots;
    /// Per slot: itself while its candidate is unpaired (or it ends a cell), else a later slot.
    std::vector<std::size_t> mSkip;
    std::vector<std::size_t> mSlotOf;
    std::vector<std::size_t> mCellOf;
};

} // namespace Orvid::Compare::Engine
