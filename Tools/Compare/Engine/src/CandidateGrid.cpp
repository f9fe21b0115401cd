#include "CandidateGrid.h"

#include <utility>

namespace Orvid::Compare::Engine {

bool CandidateGrid::build(const std::vector<double>& xs, const std::vector<double>& ys, double cellSize) {
    mCellSize = cellSize;
    mCells.clear();
    mCellStarts.clear();
    const std::size_t count = xs.size();
    mCellOf.assign(count, NONE);
    for (std::size_t candidate = 0; candidate < count; ++candidate) {
        if (!std::isfinite(xs[candidate]) || !std::isfinite(ys[candidate])) {
            continue;
        }
        Cell cell;
        if (!cellOf(xs[candidate], ys[candidate], cell.column, cell.row)) {
            return false;
        }
        const auto [place, added] = mCells.emplace(cell, mCellStarts.size());
        if (added) {
            mCellStarts.push_back(0);
        }
        mCellOf[candidate] = place->second;
        ++mCellStarts[place->second];
    }
    // Counts become first slots, each cell followed by its end marker.
    std::size_t next = 0;
    for (std::size_t& start : mCellStarts) {
        next += std::exchange(start, next) + 1;
    }
    mSlots.assign(next, NONE);
    mSkip.resize(next);
    for (std::size_t slot = 0; slot < next; ++slot) {
        mSkip[slot] = slot;
    }
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

std::size_t CandidateGrid::unpairedFrom(std::size_t slot) {
    std::size_t root = slot;
    while (mSkip[root] != root) {
        root = mSkip[root];
    }
    while (mSkip[slot] != root) {
        slot = std::exchange(mSkip[slot], root);
    }
    return root;
}

} // namespace Orvid::Compare::Engine
