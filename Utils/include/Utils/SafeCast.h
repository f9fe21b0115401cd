#pragma once

#include <Utils/CoreAssert.h>

#include <limits>
#include <type_traits>

namespace Orvid::Utils::SafeCast {

// Each cast reports a value outside the target's range through the assertion handler and returns
// the value converted to the target type (its low bits) in every case.

/// Unsigned to the signed type of the same width.
template <typename S, typename U>
S unsignedToSigned(U value) {
    static_assert(std::is_unsigned_v<U> && std::is_signed_v<S> && sizeof(S) == sizeof(U));
    CORE_ASSERT( value <= static_cast< U >( std::numeric_limits< S >::max() ) );
    return static_cast<S>(value);
}

/// Signed to a narrower signed type.
template <typename D, typename S>
D signedToNarrowerSigned(S value) {
    static_assert(std::is_signed_v<S> && std::is_signed_v<D> && sizeof(D) < sizeof(S));
    CORE_ASSERT( value <= std::numeric_limits< D >::max() );
    CORE_ASSERT( value >= std::numeric_limits< D >::min() );
    return static_cast<D>(value);
}

/// Signed to a narrower unsigned type.
template <typename U, typename S>
U signedToUnsigned(S value) {
    static_assert(std::is_signed_v<S> && std::is_unsigned_v<U> && sizeof(U) < sizeof(S));
    CORE_ASSERT( value >= 0 );
    CORE_ASSERT( value <= std::numeric_limits< U >::max() );
    return static_cast<U>(value);
}

} // namespace Orvid::Utils::SafeCast
