#include <FileIoInterface/Readers/PointCloud/TrajectorySynchronizedReader.h>

#include <utility>

namespace Orvid::FileIoInterface::Readers::PointCloud {

TrajectorySynchronizedReader::TrajectorySynchronizedReader(std::string readerSystemId,
                                                           std::string readerSoftwareId)
    : SynchronizedReader(std::move(readerSystemId), std::move(readerSoftwareId)) {}

TrajectorySynchronizedReader::TrajectorySynchronizedReader(const TrajectorySynchronizedReader& other) =
    default;

TrajectorySynchronizedReader&
TrajectorySynchronizedReader::operator=(const TrajectorySynchronizedReader& other) = default;

TrajectorySynchronizedReader::~TrajectorySynchronizedReader() = default;

} // namespace Orvid::FileIoInterface::Readers::PointCloud
