#pragma once

#include <cstdint>

namespace Orvid::Compare::Engine {

/// A part of the key space compared on its own. A time window holds the points whose primary word
/// (the GPS time made orderable as an unsigned integer: the bits of a positive time with the sign bit
/// set, those of a negative one inverted) is in [`lowest`, `end`); a NaN window the NaN-time points
/// whose secondary word (return number << 2, plus the scanner channel when pairing by channel) is in
/// [`lowest`, `end`). Keys never straddle two windows, so each window pairs exactly what the whole
/// comparison would. A window with `lowest` >= `end` is empty.
struct Window {
    bool nanTimes = false;
    std::uint64_t lowest = 0;
    std::uint64_t end = 0;

    bool holds(std::uint64_t primary, std::uint64_t secondary) const {
        if (nanTimes) {
            return primary == ~std::uint64_t{0} && secondary >= lowest && secondary < end;
        }
        return primary >= lowest && primary < end;
    }
};

} // namespace Orvid::Compare::Engine
