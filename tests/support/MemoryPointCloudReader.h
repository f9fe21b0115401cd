#pragma once

#include <FileIoInterface/Readers/PointCloud/PointCloudReader.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

namespace Orvid::Testing {

/// One leg of an in-memory cloud. `announcedCount`, when set, is what `numberOfPointsInLeg()` reports
/// instead of the number of points held, to imitate a reader whose header disagrees with its data.
struct MemoryLeg {
    FileIoInterface::LegInformation information;
    std::vector<std::unique_ptr<FileIoInterface::InputOutputPoint>> points;
    std::optional<std::size_t> announcedCount;
};

/// A point-cloud reader over legs held in memory. It hands its points out (it owns them until then)
/// and counts the calls that tests check.
class MemoryPointCloudReader final : public FileIoInterface::Readers::PointCloud::PointCloudReader {
public:
    explicit MemoryPointCloudReader(std::vector<MemoryLeg> legs = {});

    std::size_t numberOfLegs() const override { return mLegs.size(); }
    std::uint64_t numberOfPoints() const override { return mNumberOfPoints; }
    bool hasMoreLegs() override;
    FileIoInterface::LegInformation nextLeg() override;
    bool hasMorePoints() override;
    std::unique_ptr<FileIoInterface::InputOutputPoint> nextPoint() override;
    std::size_t numberOfPointsInLeg() override;

    struct Calls {
        std::size_t nextPoint = 0;
        std::size_t numberOfPointsInLeg = 0;
    };
    const Calls& calls() const { return mCalls; }
    /// Whether `nextPoint()` was ever called with no point left in the leg.
    bool readPastEnd() const { return mReadPastEnd; }

private:
    std::vector<MemoryLeg> mLegs;
    std::uint64_t mNumberOfPoints = 0;
    std::size_t mNextLeg = 0;
    std::size_t mNextPoint = 0;
    Calls mCalls;
    bool mReadPastEnd = false;
};

/// A leg named `name` holding `points`, moved in.
MemoryLeg makeLeg(const std::string& name,
                  std::vector<std::unique_ptr<FileIoInterface::InputOutputPoint>> points);

} // namespace Orvid::Testing
