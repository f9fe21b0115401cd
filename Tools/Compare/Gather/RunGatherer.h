#pragma once

#include "Gather/ComparisonSummary.h"
#include "Gather/DifferenceMap.h"
#include "Gather/PerFlightLine.h"

#include <CompareEngine/DecisionSink.h>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>

namespace Orvid::Compare {

/// Collects what the reports show from the engine's decisions as they come: the counts of each class,
/// in all and per flight line, the points per flight line of each input, the displacement sums and
/// histogram, and the positions on the map. Everything is kept as sums, counts and bins, so that no
/// point is held.
class RunGatherer final : public Engine::DecisionSink {
public:
    /// With `map`, positions are binned on a map framed by the extent of the points read, made when
    /// the engine reports it (`scanned`); no map when no point has finite coordinates.
    explicit RunGatherer(bool map);

    void scanned(const Engine::InputFacts& reference, const Engine::InputFacts& test) override;
    void decided(const Engine::Decision& decision) override;
    /// A map is framed before the first position is binned on it: only a run without one can restart.
    bool restartable() const override { return !mMapWanted; }
    void restart() override { *this = RunGatherer(mMapWanted); }

    /// The map, when one was asked for and the points had an extent.
    std::optional<DifferenceMap> takeMap() { return std::move(mMap); }

    /// The summary of what was decided so far; the attribute counts are the engine's to add.
    ComparisonSummary summary() const;
    const std::map<std::uint16_t, std::uint64_t>& referencePointsBySourceId() const {
        return mReferenceLines.values();
    }
    const std::map<std::uint16_t, std::uint64_t>& testPointsBySourceId() const { return mTestLines.values(); }

    /// Running sums of one series, which add up over parts of a run.
    struct Series {
        double sum = 0.0;
        double sumOfSquares = 0.0;
        double maxAbs = 0.0;
        void add(double value);
        Series& operator+=(const Series& other);
        SeriesStatistics statistics(std::uint64_t count) const;
    };
    /// The sums of the displacements of the modified points: |d|, dx, dy, dz.
    std::array<Series, 4> displacementSums() const { return {mMagnitude, mDx, mDy, mDz}; }

private:
    void count(DifferenceClass kind, const FileIoInterface::Las::LasPoint& point);

    bool mMapWanted;
    std::optional<DifferenceMap> mMap;
    ClassCounts mCounts;
    PerFlightLine<ClassCounts> mByFlightLine;
    PerFlightLine<std::uint64_t> mReferenceLines;
    PerFlightLine<std::uint64_t> mTestLines;
    std::map<std::pair<std::uint8_t, std::uint8_t>, std::uint64_t> mTransitions;
    Series mMagnitude;
    Series mDx;
    Series mDy;
    Series mDz;
    DisplacementHistogram mHistogram;
};

} // namespace Orvid::Compare
