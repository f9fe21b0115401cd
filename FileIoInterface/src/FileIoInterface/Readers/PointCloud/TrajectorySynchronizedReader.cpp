#include <FileIoInterface/Readers/PointCloud/TrajectorySynchronizedReader.h>

#include <utility>

namespace Orvid::FileIoInterface::Readers::PointCloud {

TrajectorySynchronizedReader::TrajectorySynchronizedReader(std::string systemId, std::string softwareId)
    : SynchronizedReader(std::move(systemId), std::move(softwareId)) {}

TrajectorySynchronizedReader::TrajectorySynchronizedReader(const TrajectorySynchronizedReader& other) =
    default;

TrajectorySynchronizedReader&
TrajectorySynchronizedReader::operator=(const TrajectorySynchronizedReader& other) = default;

TrajectorySynchronizedReader::~TrajectorySynchronizedReader() = default;

} // namespace Orvid::FileIoInterface::Readers::PointCloud
