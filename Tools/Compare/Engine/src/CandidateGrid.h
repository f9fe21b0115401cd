#pragma once

#include "ScratchArray.h"
#include "UnpairedBits.h"
#include "WorkTeam.h"

#include <CompareEngine/InputFacts.h>

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
/// up nearby cells. Each cell keeps its candidates in reading order and skips paired ones, so that the first
/// unpaired candidate in reading order that passes a test is found as a linear scan over the whole group
/// would find it.
class CandidateGrid {
public:
    static constexpr std::size_t NONE = std::numeric_limits<std::size_t>::max();
    /// Candidates from which no grid is built: slots and cells (at most about four per candidate) are
    /// numbered in 32 bits, which halves the grid's memory.
    static constexpr std::size_t MOST_CANDIDATES = std::size_t{1} << 29;

    /// Indexes candidates 0 to `count - 1` at `positionOf(k)` (x, y and z, as a std::array<double, 3>,
    /// asked for up to twice per candidate), all unpaired, for searches within `epsilon` on x and
    /// y; z is kept for the searches' tests. Candidates with a non-finite x or y are left out: they are
    /// within epsilon of nothing. Returns false, leaving the grid unusable, when a coordinate is too far from
    /// 0 for its cell number to be exact, or for `MOST_CANDIDATES` candidates or more.
    template <typename PositionOf>
    bool build(std::size_t count, PositionOf&& positionOf, double epsilon) {
        WorkTeam alone(1);
        return build(
            count, [&](std::size_t candidate, std::size_t) { return positionOf(candidate); }, epsilon, alone);
    }

    /// The same, on every member of `team`: `positionOf(k, member)` is asked on the thread of `member`.
    /// `known`, when given, holds every candidate's finite position, which are then not read for it.
    template <typename PositionOf>
    bool build(std::size_t count, PositionOf&& positionOf, double epsilon, WorkTeam& team,
               const PlanarExtent* known = nullptr) {
        if (count >= MOST_CANDIDATES) {
            return false;
        }
        const std::size_t members = team.size();
        std::vector<Extent> extents(members);
        mPositions.resize(count);
        mCellOf.resize(count);
        if (known != nullptr) {
            extents[0].merge(*known);
        } else {
            team.share(count, BUILD_GRAIN, [&](std::size_t low, std::size_t high, std::size_t member) {
                for (std::size_t candidate = low; candidate < high; ++candidate) {
                    const auto [x, y, z] = positionOf(candidate, member);
                    extents[member].include({x, y});
                }
            });
        }
        for (std::size_t member = 1; member < members; ++member) {
            extents[0].merge(extents[member]);
        }
        if (!layOut(count, extents[0], epsilon)) {
            return false;
        }
        team.share(
            count, BUILD_GRAIN,
            [&](std::size_t low, std::size_t high, std::size_t member) {
                for (std::size_t candidate = low; candidate < high; ++candidate) {
                    const auto [x, y, z] = positionOf(candidate, member);
                    mPositions[candidate] = {x, y, z};
                    mCellOf[candidate] =
                        std::isfinite(x) && std::isfinite(y) ? static_cast<Index>(cellAt(x, y)) : NO_CELL;
                }
            },
            [&] {
                const std::size_t starts =
                    static_cast<std::size_t>(mColumns) * static_cast<std::size_t>(mRows) + 1;
                mCellStarts.resize(starts);
                std::fill(mCellStarts.begin(), mCellStarts.end(), Index{0});
            });
        countSlots();
        // Each share of the cells is placed by one member, so that every cell keeps reading order; a few
        // shares per member, so that a member held back leaves its shares to the others.
        const std::size_t shares = members == 1 ? 1 : SHARES_PER_MEMBER * members;
        std::vector<std::size_t> splits(shares + 1);
        for (std::size_t share = 0; share <= shares; ++share) {
            splits[share] = cellSplit(share, shares);
        }
        team.share(shares, 1, [&](std::size_t share, std::size_t, std::size_t) {
            const std::size_t low = splits[share];
            const std::size_t high = splits[share + 1];
            for (std::size_t candidate = 0; candidate < count; ++candidate) {
                const Index cell = mCellOf[candidate];
                if (cell >= low && cell < high) {
                    mSlots[mCellStarts[cell]++] = static_cast<Index>(candidate);
                }
            }
        });
        endSlots();
        return true;
    }

    /// The first unpaired candidate, in reading order, among those within epsilon of (x, y) on x and y
    /// for which `within(candidate, its x, its y, its z)` holds; `NONE` when there is none.
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
                for (std::size_t slot = mUnpaired.freeBetween(mCellStarts[cell], end); slot < end;
                     slot = mUnpaired.freeBetween(slot + 1, end)) {
                    const std::size_t candidate = mSlots[slot];
                    if (candidate >= best) {
                        break;
                    }
                    // The same test as the classifier's, so that it only spares calls.
                    const Position& at = mPositions[candidate];
                    if (std::fabs(at.x - x) <= mEpsilon && std::fabs(at.y - y) <= mEpsilon &&
                        within(candidate, at.x, at.y, at.z)) {
                        best = candidate;
                        mFoundSlot = slot;
                        break;
                    }
                }
            }
        }
        return best;
    }

    /// The first candidates in reading order, paired or not, within epsilon of a point and passing its
    /// test, by their slots: what pairing a point needs to know of the grid in most cases, found by
    /// reading the grid only, so that several threads may look up points at once while none pairs.
    struct Nearby {
        static constexpr std::size_t MOST = 4;
        std::array<std::size_t, MOST> slots{};
        /// The candidates in those slots, so that pairing need not read the slots again.
        std::array<std::size_t, MOST> candidates{};
        std::size_t count = 0;
        /// Other candidates may be within epsilon and pass the test too, after these in reading order.
        bool more = false;
    };

    /// The first `Nearby::MOST` candidates in reading order, paired or not, among those within epsilon
    /// of (x, y) on x and y for which `within(candidate, its x, its y, its z)` holds. Only reads the grid.
    template <typename Within>
    void nearby(double x, double y, Within&& within, Nearby& found) const {
        found.count = 0;
        found.more = false;
        std::int64_t columns[2] = {0, 0};
        std::int64_t rows[2] = {0, 0};
        if (!reach(x, mColumns, mFirstColumn, columns) || !reach(y, mRows, mFirstRow, rows)) {
            return;
        }
        for (std::int64_t row = rows[0]; row <= rows[1]; ++row) {
            for (std::int64_t column = columns[0]; column <= columns[1]; ++column) {
                const std::size_t cell = cellNumber(column, row);
                for (std::size_t slot = mCellStarts[cell]; slot < mCellStarts[cell + 1]; ++slot) {
                    const std::size_t candidate = mSlots[slot];
                    const Position& at = mPositions[candidate];
                    if (std::fabs(at.x - x) <= mEpsilon && std::fabs(at.y - y) <= mEpsilon &&
                        within(candidate, at.x, at.y, at.z) && !keep(slot, found)) {
                        // The cell's later candidates come later in reading order too.
                        break;
                    }
                }
            }
        }
    }

    /// Takes the first unpaired candidate among `found` out of every later search and returns it;
    /// `NONE` when all of them are paired (then, when `found.more`, only `first` can tell).
    std::size_t takeFirstUnpaired(const Nearby& found) {
        for (std::size_t index = 0; index < found.count; ++index) {
            const std::size_t slot = found.slots[index];
            if (mUnpaired.isFree(slot)) {
                mUnpaired.take(slot);
                return found.candidates[index];
            }
        }
        return NONE;
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
            if (mSlots[slot] == candidate) {
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
        void merge(const Extent& other) {
            if (!other.empty) {
                include(std::array<double, 2>{other.low[0], other.low[1]});
                include(std::array<double, 2>{other.high[0], other.high[1]});
            }
        }
        void merge(const PlanarExtent& other) {
            if (other.minX <= other.maxX) {
                include(std::array<double, 2>{other.minX, other.minY});
                include(std::array<double, 2>{other.maxX, other.maxY});
            }
        }
    };

    /// A candidate's position, kept in reading order: the test points of a search come in about the
    /// candidates' order, so that consecutive searches read nearby positions.
    struct Position {
        double x;
        double y;
        double z;
    };

    /// Keeps the candidate in `slot` among `found` in reading order; false when it comes after all
    /// `found` can hold.
    bool keep(std::size_t slot, Nearby& found) const {
        const std::size_t candidate = mSlots[slot];
        std::size_t at = found.count;
        while (at > 0 && found.candidates[at - 1] > candidate) {
            --at;
        }
        if (at == Nearby::MOST) {
            found.more = true;
            return false;
        }
        if (found.count == Nearby::MOST) {
            found.more = true;
        } else {
            ++found.count;
        }
        for (std::size_t index = found.count - 1; index > at; --index) {
            found.slots[index] = found.slots[index - 1];
            found.candidates[index] = found.candidates[index - 1];
        }
        found.slots[at] = slot;
        found.candidates[at] = candidate;
        return true;
    }

    using Index = std::uint32_t;
    static constexpr Index NO_CELL = std::numeric_limits<Index>::max();
    /// Candidates that a member of a building team takes at a time.
    static constexpr std::size_t BUILD_GRAIN = 4096;
    static constexpr std::size_t SHARES_PER_MEMBER = 4;

    /// Beyond 2^52 cells from 0 a cell number is no longer exact; such points are left out.
    static constexpr double LIMIT = 4503599627370496.0;

    /// The floor of `value`, whose magnitude is below 2^62, as an integer: inline, where std::floor
    /// without SSE 4.1 is a call into the C library on every lookup.
    static std::int64_t floorOf(double value) {
        const auto truncated = static_cast<std::int64_t>(value);
        return value < static_cast<double>(truncated) ? truncated - 1 : truncated;
    }

    /// The cell number of a coordinate along one axis, from 0; false when it is not finite or too far
    /// from 0.
    bool cellOf(double value, std::int64_t& cell) const {
        const double quotient = value * mCellsPerUnit;
        if (!(std::fabs(quotient) < LIMIT)) {
            return false;
        }
        cell = floorOf(quotient);
        // A margin below the limit, so that every cell a search reaches is exact too.
        return std::abs(cell) < static_cast<std::int64_t>(LIMIT) - 4;
    }

    /// The first and last of the `count` cells from `first` on along one axis that a coordinate's
    /// epsilon reaches, widened by a rounding error on each side, numbered from 0; false when it
    /// reaches none of them.
    bool reach(double value, std::int64_t count, std::int64_t first, std::int64_t (&cells)[2]) const {
        const double scaled = value * mCellsPerUnit;
        if (!(std::fabs(scaled) < LIMIT - 2.0)) {
            return false;
        }
        // An exact comparison reaches no other cell.
        const double margin = mExact ? 0.0 : 1e-9 + std::fabs(scaled) * 1e-15;
        cells[0] = std::max<std::int64_t>(floorOf(scaled - mReach - margin) - first, 0);
        cells[1] = std::min<std::int64_t>(floorOf(scaled + mReach + margin) - first, count - 1);
        return cells[0] <= cells[1];
    }

    /// Chooses the cells for `count` candidates within `extent`; false when a corner of the extent is
    /// too far from 0.
    bool layOut(std::size_t count, const Extent& extent, double epsilon);
    /// Chooses the cell size for `count` candidates spread over `width` x `height`.
    void sizeCells(std::size_t count, double width, double height);
    /// Numbers the cells that cover `extent`; false when a corner is too far from 0.
    bool coverExtent(std::size_t count, const Extent& extent);
    /// Counts the candidates of each cell and turns the counts into first slots, making room for the
    /// candidates.
    void countSlots();
    /// The first cell of share `share` of `shares` in placing candidates: about as many candidates to
    /// place in each share; `shares` gives the end of the last.
    std::size_t cellSplit(std::size_t share, std::size_t shares) const;
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
    /// 1 / `mCellSize`: a lookup multiplies rather than divides, in the building and in every search alike,
    /// so that an exact comparison finds a candidate in the very cell it was placed in.
    double mCellsPerUnit = 1.0;
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
    ScratchArray<Index> mCellStarts;
    /// The candidate in each slot.
    ScratchArray<Index> mSlots;
    /// Each candidate's position.
    ScratchArray<Position> mPositions;
    /// While building, the cell of each candidate; `NO_CELL` for one left out.
    ScratchArray<Index> mCellOf;
    /// The slots whose candidate is unpaired.
    UnpairedBits mUnpaired;
    std::size_t mFoundSlot = 0;
};

} // namespace Orvid::Compare::Engine
