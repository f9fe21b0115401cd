#include <FileIoInterface/LumivareAttributes.h>

#include <Utils/SafeCast.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace Orvid::FileIoInterface::Lumivare {
namespace {

using Attribute::DataType;
using Attribute::Descriptor;
using Utils::SafeCast::signedToNarrowerSigned;
using Utils::SafeCast::signedToUnsigned;

Descriptor makeDescriptor(DataType dataType, std::string name, std::string description) {
    Descriptor descriptor;
    descriptor.dataType = dataType;
    descriptor.name = std::move(name);
    descriptor.description = std::move(description);
    return descriptor;
}

template <std::size_t N>
void setStandardAttributes(std::array<Descriptor, N>& descriptors) {
    static_assert(N >= 3);
    descriptors[0] = makeDescriptor(DataType::UInt16, "Lumi Vare photo index", "Source Lumi Vare photo");
    descriptors[1] = makeDescriptor(DataType::Float, "Lumi Vare Range", "LIDAR to object distance");
    descriptors[2] = makeDescriptor(DataType::UInt64, "Laser Incident CUV", "Compact unit vec, LIDAR to obj");
}

// The limits are written as 32-bit constants and narrowed through the checked casts, so that a typo
// outside the 16-bit range is reported instead of silently wrapping.
Descriptor amplitude() {
    Descriptor descriptor = makeDescriptor(DataType::UInt16, "Amplitude", "Echo signal amplitude [dB]");
    descriptor.noData = std::uint16_t{65535};
    descriptor.min = signedToUnsigned<std::uint16_t>(std::int32_t{0});
    descriptor.max = signedToUnsigned<std::uint16_t>(std::int32_t{10000});
    descriptor.scale = 0.01;
    return descriptor;
}

Descriptor reflectance() {
    Descriptor descriptor = makeDescriptor(DataType::Int16, "Reflectance", "Echo signal reflectance [dB]");
    descriptor.min = signedToNarrowerSigned<std::int16_t>(std::int32_t{-5000});
    descriptor.max = signedToNarrowerSigned<std::int16_t>(std::int32_t{15000});
    descriptor.scale = 0.01;
    return descriptor;
}

Descriptor deviation() {
    Descriptor descriptor = makeDescriptor(DataType::UInt16, "Deviation", "Pulse shape deviation");
    descriptor.noData = signedToUnsigned<std::uint16_t>(std::int32_t{65535});
    descriptor.min = signedToUnsigned<std::uint16_t>(std::int32_t{0});
    descriptor.max = signedToUnsigned<std::uint16_t>(std::int32_t{32767});
    return descriptor;
}

} // namespace

std::vector<Descriptor> getStandardAttributes() {
    std::array<Descriptor, 3> descriptors;
    setStandardAttributes(descriptors);
    return {descriptors.begin(), descriptors.end()};
}

std::vector<Descriptor> getRieglAttributes() {
    std::array<Descriptor, 6> descriptors;
    setStandardAttributes(descriptors);
    descriptors[3] = amplitude();
    descriptors[4] = reflectance();
    descriptors[5] = deviation();
    return {descriptors.begin(), descriptors.end()};
}

} // namespace Orvid::FileIoInterface::Lumivare
