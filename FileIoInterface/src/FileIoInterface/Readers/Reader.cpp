#include <FileIoInterface/Readers/Reader.h>

namespace Orvid::FileIoInterface::Readers {

Reader::~Reader() = default;

} // namespace Orvid::FileIoInterface::Readers
