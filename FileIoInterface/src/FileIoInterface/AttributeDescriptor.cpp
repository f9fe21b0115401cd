#include <FileIoInterface/AttributeDescriptor.h>

#include <utility>

namespace Orvid::FileIoInterface::Attribute {

Descriptor::Descriptor() = default;

Descriptor::Descriptor(const Descriptor& other) = default;

Descriptor::Descriptor(Descriptor&& other) noexcept
    : dataType(other.dataType)
    , name(std::move(other.name))
    , noData(other.noData)
    , min(other.min)
    , max(other.max)
    , scale(other.scale)
    , offset(other.offset)
    , description(std::move(other.description)) {
    // The standard leaves a moved-from string in any valid state; callers rely on empty ones.
    other.name.clear();
    other.description.clear();
}

Descriptor& Descriptor::operator=(const Descriptor& other) = default;

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
    if (this == &other) {
        return *this;
    }
    dataType = other.dataType;
    name = std::move(other.name);
    noData = other.noData;
    min = other.min;
    max = other.max;
    scale = other.scale;
    offset = other.offset;
    description = std::move(other.description);
    other.name.clear();
    other.description.clear();
    return *this;
}

Descriptor::~Descriptor() = default;

bool Descriptor::operator==(const Descriptor& other) const {
    // std::optional and std::variant compare exactly as required: absent equals absent only, and
    // present values need the same alternative and a payload equal under `==`.
    return dataType == other.dataType && name == other.name && noData == other.noData && min == other.min &&
           max == other.max && scale == other.scale && offset == other.offset &&
           description == other.description;
}

std::bitset<5> Descriptor::options() const {
    std::bitset<5> bits;
    bits.set(NoData, noData.has_value());
    bits.set(Min, min.has_value());
    bits.set(Max, max.has_value());
    bits.set(Scale, scale.has_value());
    bits.set(Offset, offset.has_value());
    return bits;
}

double Descriptor::getScaleValue() const {
    return get<Scale>();
}

double Descriptor::getOffsetValue() const {
    return get<Offset>();
}

} // namespace Orvid::FileIoInterface::Attribute
