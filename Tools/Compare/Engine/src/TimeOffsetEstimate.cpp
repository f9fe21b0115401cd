#include <CompareEngine/TimeOffsetEstimate.h>

#include "Input.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

namespace Orvid::Compare::Engine {

namespace {

struct Sample {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    double time = 0.0;
    /// Squared distance to the nearest reference point so far, and that point's time.
    double nearest = std::numeric_limits<double>::infinity();
    double referenceTime = 0.0;
};

/// The sampled test points by square cell of the XY plane, cells as wide as the reach.
class SampleCells {
public:
    SampleCells(std::vector<Sample>& samples, double cellSize)
        : mSamples(samples)
        , mCellSize(cellSize) {
        for (std::size_t index = 0; index < samples.size(); ++index) {
            mCells[cellOf(samples[index].x, samples[index].y)].push_back(index);
        }
    }

    template <typename Visit>
    void near(double x, double y, Visit&& visit) {
        const auto [column, row] = cellOf(x, y);
        for (std::int64_t dy = -1; dy <= 1; ++dy) {
            for (std::int64_t dx = -1; dx <= 1; ++dx) {
                const auto cell = mCells.find({column + dx, row + dy});
                if (cell != mCells.end()) {
                    for (const std::size_t index : cell->second) {
                        visit(mSamples[index]);
                    }
                }
            }
        }
    }

private:
    struct CellHash {
        std::size_t operator()(const std::pair<std::int64_t, std::int64_t>& cell) const {
            const std::uint64_t mixed = static_cast<std::uint64_t>(cell.first) * 0x9E3779B97F4A7C15ull ^
                                        static_cast<std::uint64_t>(cell.second);
            return static_cast<std::size_t>(mixed ^ (mixed >> 29));
        }
    };

    std::pair<std::int64_t, std::int64_t> cellOf(double x, double y) const {
        // Cell numbers saturate far from 0: the distance test still decides.
        constexpr double LIMIT = 4e18;
        const double column = std::clamp(std::floor(x / mCellSize), -LIMIT, LIMIT);
        const double row = std::clamp(std::floor(y / mCellSize), -LIMIT, LIMIT);
        return {static_cast<std::int64_t>(column), static_cast<std::int64_t>(row)};
    }

    std::vector<Sample>& mSamples;
    double mCellSize;
    std::unordered_map<std::pair<std::int64_t, std::int64_t>, std::vector<std::size_t>, CellHash> mCells;
};

bool usable(const FileIoInterface::Las::LasPoint& point) {
    return std::isfinite(point.getTime()) && std::isfinite(point.getX()) && std::isfinite(point.getY()) &&
           std::isfinite(point.getZ());
}

} // namespace

std::optional<TimeOffsetEstimate> estimateTimeOffset(const std::vector<std::filesystem::path>& reference,
                                                     const std::vector<std::filesystem::path>& test,
                                                     const EngineOptions& options, std::size_t samples) {
    const double epsilonXY = options.epsilonXY.value_or(options.epsilon);
    const double epsilonZ = options.epsilonZ.value_or(options.epsilon);
    const Input testInput(test, 0.0);
    const std::uint64_t count = testInput.size();
    const std::uint64_t wanted = std::min<std::uint64_t>(samples, count);
    std::vector<Sample> sample;
    sample.reserve(static_cast<std::size_t>(wanted));
    FileIoInterface::Las::LasPoint point;
    InputReader testReader(testInput);
    for (std::uint64_t index = 0; index < wanted; ++index) {
        const std::uint64_t position = index * count / wanted;
        testReader.decode(position, testInput.legOf(position), point);
        if (usable(point)) {
            sample.push_back({point.getX(), point.getY(), point.getZ(), point.getTime()});
        }
    }

    const Input referenceInput(reference, 0.0);
    SampleCells cells(sample, epsilonXY > 0.0 ? epsilonXY : 1.0);
    referenceInput.forEachRecord(
        0, referenceInput.size(),
        [&](std::uint64_t, const std::uint8_t* record, const FileIoInterface::Las::PointRecords& records) {
            records.decodeAt(record, point);
            if (!usable(point)) {
                return;
            }
            const double x = point.getX();
            const double y = point.getY();
            const double z = point.getZ();
            cells.near(x, y, [&](Sample& near) {
                const double dx = std::fabs(near.x - x);
                const double dy = std::fabs(near.y - y);
                const double dz = std::fabs(near.z - z);
                const double distance = dx * dx + dy * dy + dz * dz;
                // The first of equally near points, in reading order, wins.
                if (dx <= epsilonXY && dy <= epsilonXY && dz <= epsilonZ && distance < near.nearest) {
                    near.nearest = distance;
                    near.referenceTime = point.getTime();
                }
            });
        });

    std::vector<double> differences;
    for (const Sample& near : sample) {
        if (std::isfinite(near.nearest)) {
            differences.push_back(near.referenceTime - near.time);
        }
    }
    if (differences.empty()) {
        return std::nullopt;
    }
    std::sort(differences.begin(), differences.end());
    TimeOffsetEstimate estimate;
    estimate.sampled = sample.size();
    estimate.matched = differences.size();
    estimate.offset = differences[differences.size() / 2];
    estimate.agreeing = 1;
    // The longest run of one exact difference; the earliest of equal runs, and the median when none
    // repeats, keep the answer deterministic.
    for (std::size_t start = 0; start < differences.size();) {
        std::size_t end = start + 1;
        while (end < differences.size() && differences[end] == differences[start]) {
            ++end;
        }
        if (end - start > estimate.agreeing) {
            estimate.agreeing = end - start;
            estimate.offset = differences[start];
        }
        start = end;
    }
    return estimate;
}

} // namespace Orvid::Compare::Engine
