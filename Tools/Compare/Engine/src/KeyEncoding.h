#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace Orvid::Compare::Engine {

/// The pairing key of a point as two unsigned words that compare like the key itself. `primary` is
/// the GPS time made orderable as an unsigned integer; `secondary` the return number, then the
/// scanner channel when pairing by channel.
struct Key {
    std::uint64_t primary = 0;
    std::uint64_t secondary = 0;

    friend bool operator==(const Key& a, const Key& b) {
        return a.primary == b.primary && a.secondary == b.secondary;
    }
    friend bool operator!=(const Key& a, const Key& b) { return !(a == b); }
    friend bool operator<(const Key& a, const Key& b) {
        return a.primary < b.primary || (a.primary == b.primary && a.secondary < b.secondary);
    }
};

/// The primary word of every NaN time: above every number, +infinity included.
constexpr std::uint64_t NAN_PRIMARY = ~std::uint64_t{0};
/// Secondary words hold 6 bits, so that an index entry keeps 58 bits for the record position.
constexpr unsigned SECONDARY_BITS = 6;
constexpr unsigned POSITION_BITS = 64 - SECONDARY_BITS;
constexpr std::uint64_t POSITION_MASK = (std::uint64_t{1} << POSITION_BITS) - 1;
constexpr std::uint64_t SECONDARY_COUNT = std::uint64_t{1} << SECONDARY_BITS;

/// The orderable word of `time`: a < b as numbers exactly when the words compare so; -0 and +0 give
/// the same word, every NaN gives `NAN_PRIMARY`.
inline std::uint64_t primaryOf(double time) {
    if (std::isnan(time)) {
        return NAN_PRIMARY;
    }
    // -0 equals +0 as a number, so it must share its word.
    const double normalised = time == 0.0 ? 0.0 : time;
    std::uint64_t bits = 0;
    std::memcpy(&bits, &normalised, sizeof(bits));
    return (bits >> 63) != 0 ? ~bits : bits | (std::uint64_t{1} << 63);
}

/// The time whose word is `primary` (not `NAN_PRIMARY`): the inverse of `primaryOf`.
inline double timeOf(std::uint64_t primary) {
    constexpr std::uint64_t SIGN = std::uint64_t{1} << 63;
    const std::uint64_t bits = (primary & SIGN) != 0 ? primary & ~SIGN : ~primary;
    double time = 0.0;
    std::memcpy(&time, &bits, sizeof(time));
    return time;
}

/// The secondary word of a return number (4 bits) and channel (2 bits).
inline std::uint64_t secondaryOf(std::uint8_t returnNumber, std::uint8_t channel, bool byChannel) {
    return (std::uint64_t{returnNumber} << 2) | (byChannel ? std::uint64_t{channel} : 0u);
}

/// One point of a key index, 16 bytes: its key and its position in its input (reading order over all
/// legs). Entries compare by key, then by position.
/// Trivial, so that an index of them is allocated without being written.
struct KeyEntry {
    std::uint64_t primary;
    /// Secondary word in the top 6 bits, position below.
    std::uint64_t secondaryAndPosition;

    Key key() const { return {primary, secondaryAndPosition >> POSITION_BITS}; }
    std::uint64_t position() const { return secondaryAndPosition & POSITION_MASK; }
    friend bool operator<(const KeyEntry& a, const KeyEntry& b) {
        return a.primary < b.primary ||
               (a.primary == b.primary && a.secondaryAndPosition < b.secondaryAndPosition);
    }
};
static_assert(sizeof(KeyEntry) == 16 && std::is_trivial_v<KeyEntry>);

} // namespace Orvid::Compare::Engine
