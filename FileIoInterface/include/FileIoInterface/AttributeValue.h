#pragma once

#include <cstdint>
#include <variant>

namespace Orvid::FileIoInterface::Attribute {

/// One additional attribute value of a point, or a limit of an attribute descriptor. The order of
/// the alternatives is part of the interface: a descriptor's data-type code is the index plus one.
/// Equality is the variant's own: same alternative and equal payload (a NaN equals nothing).
using Value = std::variant<std::uint8_t, std::int8_t, std::uint16_t, std::int16_t, std::uint32_t,
                           std::int32_t, std::uint64_t, std::int64_t, float, double>;

} // namespace Orvid::FileIoInterface::Attribute
