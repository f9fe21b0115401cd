#pragma once

#include "Command/Progress.h"
#include "Gather/DensityGrid.h"

#include <FileIoInterface/Readers/PointCloud/PointCloudReader.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace Orvid::Compare {

/// What was seen of an input while it was read.
struct InputScan {
    std::uint64_t points = 0;
    std::uint64_t legs = 0;
    /// Points whose GPS time is NaN: they cannot be paired reliably.
    std::uint64_t nanTimes = 0;
    /// Points whose (GPS time, return number) key an earlier point of the same input already had.
    std::uint64_t duplicateKeys = 0;
    /// Points per point source id (flight line).
    std::map<std::uint16_t, std::uint64_t> pointsBySourceId;
};

/// Passes a reader's legs and points through unchanged, showing progress and keeping what
/// `InputScan` reports, and binning the points' positions into a density grid when given one.
class ObservedReader final : public FileIoInterface::Readers::PointCloud::PointCloudReader {
public:
    /// `label` names the input on the progress line. `density`, when given, is not owned and must
    /// outlive the reader.
    ObservedReader(PointCloudReader& inner, Progress& progress, std::string label,
                   DensityGrid* density = nullptr);

    std::size_t numberOfLegs() const override { return mInner.numberOfLegs(); }
    std::uint64_t numberOfPoints() const override { return mInner.numberOfPoints(); }
    /// Ends the progress line once the last leg is done.
    bool hasMoreLegs() override;
    FileIoInterface::LegInformation nextLeg() override;
    bool hasMorePoints() override { return mInner.hasMorePoints(); }
    std::unique_ptr<FileIoInterface::InputOutputPoint> nextPoint() override;
    std::size_t numberOfPointsInLeg() override { return mInner.numberOfPointsInLeg(); }

    /// Counts the duplicate keys; call once, after reading.
    InputScan finish();

private:
    PointCloudReader& mInner;
    Progress& mProgress;
    std::string mLabel;
    DensityGrid* mDensity;
    bool mStarted = false;
    InputScan mScan;
    std::vector<std::pair<double, std::size_t>> mKeys;
    bool mKeysSorted = true;
    std::uint16_t mSourceId = 0;
    std::uint64_t* mSourceIdCount = nullptr;
};

} // namespace Orvid::Compare
