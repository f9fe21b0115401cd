#pragma once

#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>
#include <string>

namespace Orvid::Compare {

// Keys keep the order they are written in, so that the files read top-down.
using OrderedJson = nlohmann::ordered_json;

/// A double as JSON: a number when finite, else "nan", "inf" or "-inf", which JSON numbers cannot hold.
inline OrderedJson jsonNumber(double value) {
    if (std::isfinite(value)) {
        return value;
    }
    return std::isnan(value) ? "nan" : (value > 0 ? "inf" : "-inf");
}

/// The double that `jsonNumber` wrote. Throws nlohmann::json::exception for anything else.
inline double jsonNumberOf(const OrderedJson& value) {
    if (value.is_string()) {
        const std::string text = value.get<std::string>();
        if (text == "nan") {
            return std::numeric_limits<double>::quiet_NaN();
        }
        if (text == "inf" || text == "-inf") {
            return text == "inf" ? std::numeric_limits<double>::infinity()
                                 : -std::numeric_limits<double>::infinity();
        }
    }
    return value.get<double>();
}

} // namespace Orvid::Compare
