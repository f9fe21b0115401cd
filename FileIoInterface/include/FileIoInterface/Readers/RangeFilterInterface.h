#pragma once

#include <FileIoInterface/FileIoInterfaceExport.h>

namespace Orvid::FileIoInterface::Readers {

/// Mix-in of readers that can filter their records by range: carries whether the filter is enabled.
/// The switch is fixed at construction, so the class has no assignment.
class FILEIOINTERFACE_EXPORT RangeFilterInterface {
public:
    RangeFilterInterface(const RangeFilterInterface& other);
    RangeFilterInterface& operator=(const RangeFilterInterface&) = delete;
    virtual ~RangeFilterInterface();

protected:
    explicit RangeFilterInterface(bool rangeFilterEnabled);

    /// Whether the derived reader must apply its range filter.
    bool isRangeFilterEnabled() const;

private:
    const bool rangeFilterEnabled;
};

} // namespace Orvid::FileIoInterface::Readers
