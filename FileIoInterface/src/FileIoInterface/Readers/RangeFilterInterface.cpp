#include <FileIoInterface/Readers/RangeFilterInterface.h>

namespace Orvid::FileIoInterface::Readers {

RangeFilterInterface::RangeFilterInterface(bool enabled)
    : rangeFilterEnabled(enabled) {}

RangeFilterInterface::RangeFilterInterface(const RangeFilterInterface& other) = default;

RangeFilterInterface::~RangeFilterInterface() = default;

bool RangeFilterInterface::isRangeFilterEnabled() const {
    return rangeFilterEnabled;
}

} // namespace Orvid::FileIoInterface::Readers
