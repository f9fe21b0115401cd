#include "Gather/DisplacementHistogram.h"

#include <cmath>
#include <stdexcept>

namespace Orvid::Compare {

void DisplacementHistogram::add(double magnitude) {
    if (!(magnitude >= 0.0) || !std::isfinite(magnitude)) {
        ++mUnbinned;
        return;
    }
    while (magnitude >= mBinWidth * static_cast<double>(BINS)) {
        widen();
    }
    ++mCounts[static_cast<std::size_t>(magnitude / mBinWidth)];
}

void DisplacementHistogram::widen() {
    for (std::size_t i = 0; i < BINS / 2; ++i) {
        mCounts[i] = mCounts[2 * i] + mCounts[2 * i + 1];
    }
    for (std::size_t i = BINS / 2; i < BINS; ++i) {
        mCounts[i] = 0;
    }
    mBinWidth *= 2.0;
}

DisplacementHistogram DisplacementHistogram::restored(double binWidth,
                                                      const std::array<std::uint64_t, BINS>& counts,
                                                      std::uint64_t unbinned) {
    DisplacementHistogram histogram;
    while (histogram.mBinWidth < binWidth && std::isfinite(histogram.mBinWidth)) {
        histogram.mBinWidth *= 2.0;
    }
    if (histogram.mBinWidth != binWidth) {
        throw std::invalid_argument(
            "a displacement histogram's bin width must be 2^-20 times a power of two");
    }
    histogram.mCounts = counts;
    histogram.mUnbinned = unbinned;
    return histogram;
}

DisplacementHistogram& DisplacementHistogram::operator+=(const DisplacementHistogram& other) {
    // Widths are the initial one times powers of two, so widening the finer one reaches the other's.
    DisplacementHistogram coarser = other;
    while (coarser.mBinWidth < mBinWidth) {
        coarser.widen();
    }
    while (mBinWidth < coarser.mBinWidth) {
        widen();
    }
    for (std::size_t i = 0; i < BINS; ++i) {
        mCounts[i] += coarser.mCounts[i];
    }
    mUnbinned += coarser.mUnbinned;
    return *this;
}

} // namespace Orvid::Compare
