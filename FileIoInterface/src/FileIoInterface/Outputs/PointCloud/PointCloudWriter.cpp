#include <FileIoInterface/Outputs/PointCloud/PointCloudWriter.h>

namespace Orvid::FileIoInterface::Outputs::PointCloud {

PointCloudWriter::~PointCloudWriter() = default;

} // namespace Orvid::FileIoInterface::Outputs::PointCloud
