#pragma once

#include <Utils/CoreAssert.h>

#include <cstdint>
#include <initializer_list>
#include <iterator>

namespace Orvid::Utils::Enum {

/// Names the last enumerator of an enumeration whose enumerators run from 0 without gaps.
/// Specialise it for each enumeration that is iterated with `range<E>()`:
///     template <> struct EnumTraits<Colour> { static constexpr Colour last = Colour::blue; };
template <typename E>
struct EnumTraits;

/// A set of enumerators of `E`, held as one 32-bit mask in which enumerator k is bit k.
template <typename E>
class Flags {
public:
    using Mask = std::uint32_t;

    constexpr Flags() = default;
    constexpr Flags(std::initializer_list<E> enumerators) {
        for (const E enumerator : enumerators) {
            set(enumerator);
        }
    }

    static constexpr Flags fromMask(Mask mask) {
        Flags flags;
        flags.mMask = mask;
        return flags;
    }

    constexpr Mask mask() const { return mMask; }
    constexpr bool empty() const { return mMask == 0; }
    constexpr bool has(E enumerator) const { return (mMask & bit(enumerator)) != 0; }

    constexpr Flags& set(E enumerator) {
        mMask |= bit(enumerator);
        return *this;
    }
    constexpr Flags& set(E enumerator, bool present) { return present ? set(enumerator) : reset(enumerator); }
    constexpr Flags& reset(E enumerator) {
        mMask &= ~bit(enumerator);
        return *this;
    }

    friend constexpr bool operator==(Flags a, Flags b) { return a.mMask == b.mMask; }
    friend constexpr bool operator!=(Flags a, Flags b) { return a.mMask != b.mMask; }

private:
    static constexpr Mask bit(E enumerator) { return Mask{1} << static_cast<Mask>(enumerator); }

    Mask mMask = 0;
};

/// Visits every enumerator of `E` from 0 to `EnumTraits<E>::last`, in increasing order.
template <typename E>
class EnumIterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = E;
    using difference_type = std::ptrdiff_t;
    using pointer = const E*;
    using reference = E;

    constexpr EnumIterator(std::uint32_t value, bool end)
        : current(value)
        , isEnd(end) {}

    E operator*() const {
        CORE_ASSERT( !isEnd );
        return static_cast<E>(current);
    }

    EnumIterator& operator++() {
        CORE_ASSERT( !isEnd );
        if (current == static_cast<std::uint32_t>(EnumTraits<E>::last)) {
            isEnd = true;
        } else {
            ++current;
        }
        return *this;
    }

    /// Every end iterator equals every other; otherwise the positions decide.
    friend bool operator==(const EnumIterator& a, const EnumIterator& b) {
        return a.isEnd == b.isEnd && (a.isEnd || a.current == b.current);
    }
    friend bool operator!=(const EnumIterator& a, const EnumIterator& b) { return !(a == b); }

private:
    std::uint32_t current;
    bool isEnd;
};

template <typename E>
struct EnumRange {
    EnumIterator<E> begin() const { return EnumIterator<E>(0, false); }
    EnumIterator<E> end() const {
        return EnumIterator<E>(static_cast<std::uint32_t>(EnumTraits<E>::last), true);
    }
};

/// `for (const E e : range<E>())` visits every enumerator of `E` once.
template <typename E>
constexpr EnumRange<E> range() {
    return {};
}

} // namespace Orvid::Utils::Enum
