#include <FileIoInterface/Outputs/PointCloud/PointCloudWriter.h>

#include <Core/ReturnStatusError.h>

namespace Orvid::FileIoInterface::Outputs::PointCloud {

PointCloudWriter::~PointCloudWriter() = default;

PointCloudWriter& operator<<(PointCloudWriter& writer, const InputOutputPoint& point) {
    const Utils::ErrorManagement::ReturnStatus status = writer.write(point);
    if (status) {
        return writer;
    }
    throw Core::ReturnStatusError(status);
}

} // namespace Orvid::FileIoInterface::Outputs::PointCloud
