#include <FileIoInterface/Readers/GnssImu/GnssImuSynchronizedReader.h>

namespace Orvid::FileIoInterface::Readers::GnssImu {

GnssImuSynchronizedReader::~GnssImuSynchronizedReader() = default;

} // namespace Orvid::FileIoInterface::Readers::GnssImu
