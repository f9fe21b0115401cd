#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace Orvid::FileIoInterface::Las::Raw {

/// One 192-byte entry of the extra-bytes record as stored. The limit slots hold three elements each,
/// for the deprecated array types; single values use element 0. A no-data, min or max slot holds the
/// raw value widened to 64 bits: unsigned, sign-extended or as a double, by the base type.
struct RawExtraBytesDescriptor {
    static constexpr std::size_t SIZE = 192;

    std::array<std::uint8_t, 2> reserved{};
    std::uint8_t dataType = 0;
    /// Presence bits of no-data, min, max, scale, offset; the byte count when `dataType` is 0.
    std::uint8_t options = 0;
    std::array<char, 32> name{};
    std::array<std::uint8_t, 4> unused{};
    std::array<std::uint64_t, 3> noData{};
    std::array<std::uint64_t, 3> min{};
    std::array<std::uint64_t, 3> max{};
    std::array<double, 3> scale{};
    std::array<double, 3> offset{};
    std::array<char, 32> description{};

    static RawExtraBytesDescriptor decode(const std::uint8_t* bytes);
    void encode(std::uint8_t* bytes) const;
};

} // namespace Orvid::FileIoInterface::Las::Raw
