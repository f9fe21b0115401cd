#include <FileIoInterface/MemoryManagement/MemoryManagementStrategy.h>

namespace Orvid::FileIoInterface::MemoryManagement {

MemoryManagementStrategy::~MemoryManagementStrategy() = default;

} // namespace Orvid::FileIoInterface::MemoryManagement
