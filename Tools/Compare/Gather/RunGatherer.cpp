#include "Gather/RunGatherer.h"

#include <algorithm>
#include <cmath>

namespace Orvid::Compare {

using Engine::PointClass;

void RunGatherer::Series::add(double value) {
    sum += value;
    sumOfSquares += value * value;
    maxAbs = std::max(maxAbs, std::fabs(value));
}

RunGatherer::Series& RunGatherer::Series::operator+=(const Series& other) {
    sum += other.sum;
    sumOfSquares += other.sumOfSquares;
    maxAbs = std::max(maxAbs, other.maxAbs);
    return *this;
}

SeriesStatistics RunGatherer::Series::statistics(std::uint64_t count) const {
    if (count == 0) {
        return {};
    }
    const auto n = static_cast<double>(count);
    return {sum / n, std::sqrt(sumOfSquares / n), maxAbs};
}

RunGatherer::RunGatherer(bool map)
    : mMapWanted(map) {}

void RunGatherer::scanned(const Engine::InputFacts& reference, const Engine::InputFacts& test) {
    if (!mMapWanted) {
        return;
    }
    Extent extent;
    for (const Engine::PlanarExtent& read : {reference.extent, test.extent}) {
        extent.include(Extent{read.minX, read.minY, read.maxX, read.maxY});
    }
    if (extent.valid()) {
        mMap.emplace(extent);
    }
}

void RunGatherer::count(DifferenceClass kind, const FileIoInterface::Las::LasPoint& point) {
    ++mCounts[kind];
    ++mByFlightLine[point.getSourceId()][kind];
    if (mMap) {
        mMap->of(kind).add(point.getX(), point.getY());
    }
}

void RunGatherer::decided(const Engine::Decision& decision) {
    if (decision.referencePoint != nullptr) {
        ++mReferenceLines[decision.referencePoint->getSourceId()];
        if (mMap) {
            mMap->reference.add(decision.referencePoint->getX(), decision.referencePoint->getY());
        }
    }
    if (decision.testPoint != nullptr) {
        ++mTestLines[decision.testPoint->getSourceId()];
    }
    switch (decision.pointClass) {
    case PointClass::unchanged:
        break;
    case PointClass::mutated:
        count(DifferenceClass::mutated, *decision.testPoint);
        if ((decision.differences & Engine::maskOf(Engine::ComparedAttribute::classification)) != 0) {
            ++mTransitions[{decision.referencePoint->getClassification(),
                            decision.testPoint->getClassification()}];
        }
        break;
    case PointClass::altered:
        count(DifferenceClass::altered, *decision.testPoint);
        break;
    case PointClass::added:
        count(DifferenceClass::added, *decision.testPoint);
        break;
    case PointClass::removed:
        count(DifferenceClass::removed, *decision.referencePoint);
        break;
    case PointClass::modified: {
        count(DifferenceClass::modified, *decision.testPoint);
        const Engine::Displacement& d = decision.displacement;
        mDx.add(d.dx);
        mDy.add(d.dy);
        mDz.add(d.dz);
        const double length = std::sqrt(d.dx * d.dx + d.dy * d.dy + d.dz * d.dz);
        mMagnitude.add(length);
        mHistogram.add(length);
        break;
    }
    }
}

ComparisonSummary RunGatherer::summary() const {
    ComparisonSummary summary;
    summary.counts = mCounts;
    summary.byFlightLine = mByFlightLine.values();
    summary.classTransitions = mTransitions;
    DisplacementStatistics& displacement = summary.displacement;
    displacement.count = mCounts[DifferenceClass::modified];
    displacement.magnitude = mMagnitude.statistics(displacement.count);
    displacement.dx = mDx.statistics(displacement.count);
    displacement.dy = mDy.statistics(displacement.count);
    displacement.dz = mDz.statistics(displacement.count);
    displacement.histogram = mHistogram;
    return summary;
}

} // namespace Orvid::Compare
