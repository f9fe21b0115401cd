#include "Gather/ComparisonSummary.h"

#include <cmath>

namespace Orvid::Compare {
namespace {

/// Running sums of one series.
class Series {
public:
    void add(double value) {
        mSum += value;
        mSumOfSquares += value * value;
        mMaxAbs = std::max(mMaxAbs, std::fabs(value));
    }
    SeriesStatistics statistics(std::uint64_t count) const {
        if (count == 0) {
            return {};
        }
        const auto n = static_cast<double>(count);
        return {mSum / n, std::sqrt(mSumOfSquares / n), mMaxAbs};
    }

private:
    double mSum = 0.0;
    double mSumOfSquares = 0.0;
    double mMaxAbs = 0.0;
};

/// Counts the points of one class, in all and per flight line, bins their positions into `grid` when
/// there is one, and hands each point to `eachPoint`.
template <typename Points, typename EachPoint>
void gather(const Points& points, DifferenceClass kind, DensityGrid* grid, ComparisonSummary& summary,
            EachPoint eachPoint) {
    summary.counts[kind] = points.size();
    for (const auto& point : points) {
        ++summary.byFlightLine[point->getSourceId()][kind];
        if (grid != nullptr) {
            grid->add(point->getX(), point->getY());
        }
        eachPoint(*point);
    }
}

} // namespace

ComparisonSummary summarize(const FileIoInterface::Readers::PointCloud::Comparator& comparator,
                            DifferenceMap* map) {
    ComparisonSummary summary;
    const auto gridOf = [map](DifferenceClass kind) { return map != nullptr ? &map->of(kind) : nullptr; };
    const auto nothingMore = [](const FileIoInterface::InputOutputPoint&) {};
    gather(comparator.getRemoved(), DifferenceClass::removed, gridOf(DifferenceClass::removed), summary,
           nothingMore);
    gather(comparator.getAdded(), DifferenceClass::added, gridOf(DifferenceClass::added), summary,
           nothingMore);
    gather(comparator.getMutated(), DifferenceClass::mutated, gridOf(DifferenceClass::mutated), summary,
           nothingMore);
    gather(comparator.getAltered(), DifferenceClass::altered, gridOf(DifferenceClass::altered), summary,
           nothingMore);

    Series magnitude;
    Series dx;
    Series dy;
    Series dz;
    auto& displacement = summary.displacement;
    // A modified point holds its displacement, test minus reference, as its coordinates.
    gather(comparator.getModified(), DifferenceClass::modified, nullptr, summary,
           [&](const FileIoInterface::InputOutputPoint& point) {
               const double x = point.getX();
               const double y = point.getY();
               const double z = point.getZ();
               dx.add(x);
               dy.add(y);
               dz.add(z);
               const double length = std::sqrt(x * x + y * y + z * z);
               magnitude.add(length);
               displacement.histogram.add(length);
           });
    displacement.count = comparator.getModified().size();
    displacement.magnitude = magnitude.statistics(displacement.count);
    displacement.dx = dx.statistics(displacement.count);
    displacement.dy = dy.statistics(displacement.count);
    displacement.dz = dz.statistics(displacement.count);
    return summary;
}

} // namespace Orvid::Compare
