#pragma once

#include "Laz/DecoderBuild.h"

#include <cstdint>

LAZ_DECODER_TARGET_BEGIN
namespace Orvid::FileIoInterface::Las::Laz {
inline namespace LAZ_DECODER_BUILD {

/// `value + difference` modulo 2^32, as coordinates wrap in the encoders.
constexpr std::int32_t wrappingAdd(std::int32_t value, std::int32_t difference) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) +
                                     static_cast<std::uint32_t>(difference));
}

/// `value - subtrahend` modulo 2^32, the difference that `wrappingAdd` undoes.
constexpr std::int32_t wrappingSubtract(std::int32_t value, std::int32_t subtrahend) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) -
                                     static_cast<std::uint32_t>(subtrahend));
}

/// `multiplier * difference` modulo 2^32.
constexpr std::int32_t wrappingTimes(std::int32_t multiplier, std::int32_t difference) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(multiplier) *
                                     static_cast<std::uint32_t>(difference));
}

/// The even magnitude classes below `limit`, else `limit`: the context that one coordinate's corrector
/// gives the next coordinate's.
constexpr std::uint32_t evenClass(std::uint32_t k, std::uint32_t limit) {
    return k < limit ? (k & ~1u) : limit;
}

} // namespace LAZ_DECODER_BUILD
} // namespace Orvid::FileIoInterface::Las::Laz
LAZ_DECODER_TARGET_END
