#include "Gather/DisplacementHistogram.h"

#include <cmath>

namespace Orvid::Compare {

void DisplacementHistogram::add(double magnitude) {
    if (!(magnitude >= 0.0) || !std::isfinite(magnitude)) {
        ++mUnbinned;
        return;
    }
    while (magnitude >= mBinWidth * static_cast<double>(BINS)) {
        for (std::size_t i = 0; i < BINS / 2; ++i) {
            mCounts[i] = mCounts[2 * i] + mCounts[2 * i + 1];
        }
        for (std::size_t i = BINS / 2; i < BINS; ++i) {
            mCounts[i] = 0;
        }
        mBinWidth *= 2.0;
    }
    ++mCounts[static_cast<std::size_t>(magnitude / mBinWidth)];
}

} // namespace Orvid::Compare
