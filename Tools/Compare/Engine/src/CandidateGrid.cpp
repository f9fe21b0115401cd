#include "CandidateGrid.h"

#include <utility>

namespace Orvid::Compare::Engine {

bool CandidateGrid::build(const std::vector<double>& xs, const std::vector<double>& ys, double epsilon) {
    // Any positive size serves an exact comparison; two epsilons let it reach two cells per axis.
    mExact = !(epsilon > 0.0);
    mCellSize = mExact ? 1.0 : 2.0 * epsilon;
    mCellStarts.clear();
    const std::size_t count = xs.size();
    std::size_t capacity = 16;
    while (capacity < 2 * count) {
        capacity *= 2;
    }
    mTable.assign(capacity, Entry{});
    mMask = capacity - 1;
    mCellOf.assign(count, NONE);
    for (std::size_t candidate = 0; candidate < count; ++candidate) {
        if (!std::isfinite(xs[candidate]) || !std::isfinite(ys[candidate])) {
            continue;
        }
        std::int64_t column = 0;
        std::int64_t row = 0;
        if (!cellOf(xs[candidate], column) || !cellOf(ys[candidate], row)) {
            return false;
        }
        std::size_t index = hashOf(column, row) & mMask;
        while (mTable[index].cell != NONE && !(mTable[index].column == column && mTable[index].row == row)) {
            index = (index + 1) & mMask;
        }
        if (mTable[index].cell == NONE) {
            mTable[index] = {column, row, mCellStarts.size()};
            mCellStarts.push_back(0);
        }
        mCellOf[candidate] = mTable[index].cell;
        ++mCellStarts[mTable[index].cell];
    }
    // Counts become first slots, each cell followed by its end marker.
    std::size_t next = 0;
    for (std::size_t& start : mCellStarts) {
        next += std::exchange(start, next) + 1;
    }
    mSlots.assign(next, NONE);
    mUnpaired.reset(next);
    mSlotOf.assign(count, NONE);
    std::vector<std::size_t>& fill = mCellStarts;
    for (std::size_t candidate = 0; candidate < count; ++candidate) {
        if (mCellOf[candidate] != NONE) {
            const std::size_t slot = fill[mCellOf[candidate]]++;
            mSlots[slot] = candidate;
            mSlotOf[candidate] = slot;
        }
    }
    // Filling moved each start to its cell's end marker; step back over the cell's candidates.
    for (std::size_t candidate = count; candidate-- > 0;) {
        if (mCellOf[candidate] != NONE) {
            --fill[mCellOf[candidate]];
        }
    }
    return true;
}

} // namespace Orvid::Compare::Engine
