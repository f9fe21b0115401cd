#pragma once

#include <cstdint>

namespace Orvid::Compare::Engine {

/// A part of the key space compared on its own. A time window holds the points whose primary word
/// is in [`lowest`, `end`); a NaN window the NaN-time points whose secondary word is in [`lowest`,
/// `end`). Keys never straddle two windows, so each window pairs exactly what the whole comparison
/// would.
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
