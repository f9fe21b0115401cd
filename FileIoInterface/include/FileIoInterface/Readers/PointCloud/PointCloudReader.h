#pragma once

#include <FileIoInterface/FileIoInterfaceExport.h>
#include <FileIoInterface/InputOutputPoint.h>
#include <FileIoInterface/LegInformation.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace Orvid::FileIoInterface::Readers::PointCloud {

/// Delivers a point cloud leg by leg and point by point. Protocol: while `hasMoreLegs()`, enter the
/// next leg with `nextLeg()`; within it, call `nextPoint()` only while `hasMorePoints()`. `nextLeg()`
/// moves on even when points of the current leg were left unread.
class FILEIOINTERFACE_EXPORT PointCloudReader {
public:
    PointCloudReader() = default;
    PointCloudReader(const PointCloudReader&) = default;
    PointCloudReader& operator=(const PointCloudReader&) = default;
    virtual ~PointCloudReader();

    /// Number of legs of the whole cloud.
    virtual std::size_t numberOfLegs() const = 0;
    /// Number of points of all legs together, as announced by the source (used for progress).
    virtual std::uint64_t numberOfPoints() const = 0;
    virtual bool hasMoreLegs() = 0;
    /// Enters the next leg and returns its metadata.
    virtual LegInformation nextLeg() = 0;
    virtual bool hasMorePoints() = 0;
    /// The next point of the current leg; the caller owns it.
    virtual std::unique_ptr<InputOutputPoint> nextPoint() = 0;
    /// Number of points of the current leg.
    virtual std::size_t numberOfPointsInLeg() = 0;

    /// Up to `count` points of the current leg in reading order; 0 means `numberOfPointsInLeg()`.
    /// Returns fewer, possibly none, when the leg runs out. Storage is reserved once for the leg's
    /// count and trimmed to the result.
    std::vector<std::unique_ptr<InputOutputPoint>> read(std::size_t count);
};

/// Reads exactly one point into `point`, destroying the one it held.
/// Throws Core::IOException when the current leg has no point left; `point` is then untouched.
FILEIOINTERFACE_EXPORT PointCloudReader& operator>>(PointCloudReader& reader,
                                                    std::unique_ptr<InputOutputPoint>& point);

/// Replaces `points` with `reader.read(0)`.
FILEIOINTERFACE_EXPORT PointCloudReader& operator>>(PointCloudReader& reader,
                                                    std::vector<std::unique_ptr<InputOutputPoint>>& points);

} // namespace Orvid::FileIoInterface::Readers::PointCloud
