#include <FileIoInterface/ColorRGB.h>

#include <algorithm>

namespace Orvid::FileIoInterface {

const ColorRGB ColorRGB::DEFAULT{0, 0, 0};

bool ColorRGB::operator==(const ColorRGB& other) const {
    return red == other.red && green == other.green && blue == other.blue;
}

bool ColorRGB::isEquivalentTo(const ColorRGB& other, std::uint16_t tolerance) const {
    return isEquivalent(red, other.red, tolerance) && isEquivalent(green, other.green, tolerance) &&
           isEquivalent(blue, other.blue, tolerance);
}

bool ColorRGB::isEquivalent(std::uint16_t a, std::uint16_t b, std::uint16_t tolerance) const {
    // In 32 bits the difference of two 16-bit channels cannot wrap around.
    const std::int32_t difference = std::int32_t{std::max(a, b)} - std::int32_t{std::min(a, b)};
    return difference <= tolerance;
}

} // namespace Orvid::FileIoInterface
