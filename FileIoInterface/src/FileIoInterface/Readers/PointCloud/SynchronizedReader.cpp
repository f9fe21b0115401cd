#include <FileIoInterface/Readers/PointCloud/SynchronizedReader.h>

#include <utility>

namespace Orvid::FileIoInterface::Readers::PointCloud {

SynchronizedReader::SynchronizedReader(std::string readerSystemId, std::string readerSoftwareId)
    : systemId(std::move(readerSystemId))
    , softwareId(std::move(readerSoftwareId)) {}

SynchronizedReader::SynchronizedReader(const SynchronizedReader& other) = default;

SynchronizedReader& SynchronizedReader::operator=(const SynchronizedReader& other) = default;

SynchronizedReader::~SynchronizedReader() = default;

const std::string& SynchronizedReader::getSystemId() const {
    return systemId;
}

const std::string& SynchronizedReader::getSoftwareId() const {
    return softwareId;
}

} // namespace Orvid::FileIoInterface::Readers::PointCloud
