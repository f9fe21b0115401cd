#include <FileIoInterface/Readers/EventOutput/IEventOutputReader.h>

namespace Orvid::FileIoInterface::Readers::EventOutput {

IEventOutputReader::~IEventOutputReader() = default;

} // namespace Orvid::FileIoInterface::Readers::EventOutput
