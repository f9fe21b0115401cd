#pragma once

#include <FileIoInterface/FileIoInterfaceExport.h>

#include <cstdint>

namespace Orvid::FileIoInterface {

/// Colour of a point: three 16-bit channels.
struct FILEIOINTERFACE_EXPORT ColorRGB {
    std::uint16_t red = 0;
    std::uint16_t green = 0;
    std::uint16_t blue = 0;

    constexpr ColorRGB(std::uint16_t r = 0, std::uint16_t g = 0, std::uint16_t b = 0)
        : red(r)
        , green(g)
        , blue(b) {}
    constexpr ColorRGB(const ColorRGB&) = default;
    constexpr ColorRGB(ColorRGB&&) = default;
    ColorRGB& operator=(const ColorRGB&) = default;
    ColorRGB& operator=(ColorRGB&&) = default;

    /// True when the three channels are each equal.
    bool operator==(const ColorRGB& other) const;
    bool operator!=(const ColorRGB& other) const { return !(*this == other); }

    /// True when no channel of the two colours differs by more than `tolerance`; symmetric.
    bool isEquivalentTo(const ColorRGB& other, std::uint16_t tolerance) const;

    /// Black, (0, 0, 0).
    static const ColorRGB DEFAULT;

private:
    bool isEquivalent(std::uint16_t a, std::uint16_t b, std::uint16_t tolerance) const;
};

} // namespace Orvid::FileIoInterface
