#pragma once

#include <FileIoInterface/FileIoInterfaceExport.h>
#include <FileIoInterface/Readers/PointCloud/SynchronizedReader.h>

#include <array>
#include <string>

namespace Orvid::FileIoInterface::Readers::PointCloud {

/// A synchronized reader of a flight trajectory. Moving one copies its identifiers.
struct FILEIOINTERFACE_EXPORT TrajectorySynchronizedReader : public SynchronizedReader {
    TrajectorySynchronizedReader(std::string systemId, std::string softwareId);
    TrajectorySynchronizedReader(const TrajectorySynchronizedReader& other);
    TrajectorySynchronizedReader& operator=(const TrajectorySynchronizedReader& other);
    ~TrajectorySynchronizedReader() override;

    /// The platform's pose at `time`, interpolated between the records around it: x, y, z, roll,
    /// pitch and heading, in the units of the format plug-in. Throws Core::IOException when `time` lies
    /// outside `timeSpan()`.
    virtual std::array<double, 6> poseAt(double time) = 0;
};

} // namespace Orvid::FileIoInterface::Readers::PointCloud
