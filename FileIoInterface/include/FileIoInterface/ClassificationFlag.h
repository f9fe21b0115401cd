#pragma once

#include <Utils/EnumClass.h>

#include <cstdint>

namespace Orvid::FileIoInterface {

/// Classification flags of a point, as the LAS formats define them: enumerator k is bit k.
enum class ClassificationFlag : std::uint32_t {
    Synthetic = 0,
    KeyPoint = 1,
    Withheld = 2,
    Overlap = 3,
};

using ClassificationFlags = Utils::Enum::Flags<ClassificationFlag>;

} // namespace Orvid::FileIoInterface
