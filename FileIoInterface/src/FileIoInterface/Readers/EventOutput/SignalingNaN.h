#pragma once

#include <cstdint>
#include <cstring>

namespace Orvid::FileIoInterface::Readers::EventOutput {

/// The signaling NaN that marks an unset field of an event record: bit pattern 0x7FF0000000000001,
/// the same on every compiler (the standard library's `signaling_NaN()` varies between them).
inline double signalingNaN() {
    constexpr std::uint64_t bits = 0x7FF0000000000001;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace Orvid::FileIoInterface::Readers::EventOutput
