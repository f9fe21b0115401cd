#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace Orvid::Compare {

/// A histogram of displacement magnitudes built in one pass without knowing their range: bins of equal
/// width from 0, whose width (2^-20 units at first) doubles, merging pairs of bins, whenever a value
/// falls beyond the last bin. Once the values outgrow the first range, the largest lies in the upper
/// half of the bins.
class DisplacementHistogram {
public:
    static constexpr std::size_t BINS = 64;

    /// Counts `magnitude` (coordinate units) in its bin; a negative, NaN or infinite one is counted by
    /// `unbinned()` only.
    void add(double magnitude);

    /// A histogram as `binWidth()`, `counts()` and `unbinned()` gave it. Throws std::invalid_argument
    /// unless `binWidth` is the initial width times a power of two.
    static DisplacementHistogram restored(double binWidth, const std::array<std::uint64_t, BINS>& counts,
                                          std::uint64_t unbinned);
    /// Adds the counts of `other`, as if its values had been added here: the finer of the two is
    /// first widened to the coarser one's bins.
    DisplacementHistogram& operator+=(const DisplacementHistogram& other);

    /// Width of a bin, in coordinate units: bin i holds [i, i + 1) times it.
    double binWidth() const { return mBinWidth; }
    const std::array<std::uint64_t, BINS>& counts() const { return mCounts; }
    std::uint64_t unbinned() const { return mUnbinned; }

private:
    void widen();

    // A power of two, so that doubling it stays exact; about a micrometre in metres.
    double mBinWidth = 1.0 / (1 << 20);
    std::array<std::uint64_t, BINS> mCounts{};
    std::uint64_t mUnbinned = 0;
};

} // namespace Orvid::Compare
