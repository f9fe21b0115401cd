#pragma once

#include <Core/ReturnStatusError.h>
#include <FileIoInterface/FileIoInterfaceExport.h>
#include <FileIoInterface/InputOutputPoint.h>
#include <FileIoInterface/LegInformation.h>
#include <Utils/ErrorManagement/ReturnStatus.h>

namespace Orvid::FileIoInterface::Outputs::PointCloud {

/// Receives a point cloud leg by leg: `beginLeg` once, `write` for each point, `endLeg` once.
/// Writers take points by constant reference and own none of them.
class FILEIOINTERFACE_EXPORT PointCloudWriter {
public:
    PointCloudWriter() = default;
    PointCloudWriter(const PointCloudWriter&) = default;
    PointCloudWriter& operator=(const PointCloudWriter&) = default;
    virtual ~PointCloudWriter();

    /// Starts a leg; called before the leg's first point. Throws Core::IOException when the leg cannot
    /// be started.
    virtual void beginLeg(const LegInformation& leg) = 0;
    /// Completes the current leg; called after its last point. Throws Core::IOException when the leg
    /// cannot be completed.
    virtual void endLeg() = 0;
    /// Writes one point of the current leg; the status converts to false on failure.
    virtual Utils::ErrorManagement::ReturnStatus write(const InputOutputPoint& point) = 0;
};

/// Writes one point; throws Core::ReturnStatusError carrying the writer's status when it failed.
inline PointCloudWriter& operator<<(PointCloudWriter& writer, const InputOutputPoint& point) {
    const Utils::ErrorManagement::ReturnStatus status = writer.write(point);
    if (status) {
        return writer;
    }
    throw Core::ReturnStatusError(status);
}

} // namespace Orvid::FileIoInterface::Outputs::PointCloud
