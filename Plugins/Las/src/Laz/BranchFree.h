#pragma once

#include "Laz/DecoderBuild.h"

#include <cstdint>

// Selections whose condition is as likely as not, such as where a decoded value falls among others.
// Compilers may turn a `?:` or std::min into a branch, which the processor then mispredicts half the
// time; on x86-64 these are conditional moves.

LAZ_DECODER_TARGET_BEGIN
namespace Orvid::FileIoInterface::Las::Laz {
inline namespace LAZ_DECODER_BUILD {

LAZ_INLINE std::int32_t smallerOf(std::int32_t a, std::int32_t b) {
#if defined(__x86_64__)
    __asm__("cmpl %[b], %[a]\n\tcmovgl %[b], %[a]" : [a] "+r"(a) : [b] "r"(b) : "cc");
    return a;
#else
    return b < a ? b : a;
#endif
}

LAZ_INLINE std::int32_t largerOf(std::int32_t a, std::int32_t b) {
#if defined(__x86_64__)
    __asm__("cmpl %[b], %[a]\n\tcmovll %[b], %[a]" : [a] "+r"(a) : [b] "r"(b) : "cc");
    return a;
#else
    return a < b ? b : a;
#endif
}

/// `chosen` when `value` is at most `limit`, else `otherwise`.
LAZ_INLINE std::uint32_t chosenIfAtMost(std::uint32_t value, std::uint32_t limit, std::uint32_t chosen,
                                        std::uint32_t otherwise) {
#if defined(__x86_64__)
    __asm__("cmpl %[limit], %[value]\n\tcmovbel %[chosen], %[otherwise]"
            : [otherwise] "+r"(otherwise)
            : [value] "r"(value), [limit] "r"(limit), [chosen] "r"(chosen)
            : "cc");
    return otherwise;
#else
    return value <= limit ? chosen : otherwise;
#endif
}

LAZ_INLINE std::uint64_t atMost(std::uint64_t value, std::uint64_t limit) {
#if defined(__x86_64__)
    __asm__("cmpq %[limit], %[value]\n\tcmovaq %[limit], %[value]"
            : [value] "+r"(value)
            : [limit] "r"(limit)
            : "cc");
    return value;
#else
    return value > limit ? limit : value;
#endif
}

/// `low` and `high` become `secondLow` and `secondHigh` when `value` reaches `split`; returns whether
/// it does.
LAZ_INLINE bool pickSecondAt(std::uint32_t value, std::uint32_t split, std::uint64_t& low,
                             std::uint64_t& high, std::uint64_t secondLow, std::uint64_t secondHigh) {
#if defined(__x86_64__)
    bool second = false;
    __asm__(
        "cmpl %[split], %[value]\n\t"
        "cmovaeq %[secondLow], %[low]\n\t"
        "cmovaeq %[secondHigh], %[high]"
        : [low] "+r"(low), [high] "+r"(high), "=@ccae"(second)
        : [value] "r"(value), [split] "r"(split), [secondLow] "r"(secondLow), [secondHigh] "r"(secondHigh));
    return second;
#else
    const bool second = value >= split;
    low = second ? secondLow : low;
    high = second ? secondHigh : high;
    return second;
#endif
}

} // namespace LAZ_DECODER_BUILD
} // namespace Orvid::FileIoInterface::Las::Laz
LAZ_DECODER_TARGET_END
