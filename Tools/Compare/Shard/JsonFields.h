#pragma once

#include <CompareEngine/InputFacts.h>

#include <nlohmann/json.hpp>

#include <array>
#include <cstdint>

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

/// A range as JSON: [low, high], or null when it holds nothing (JSON has no infinity).
inline OrderedJson rangeJson(double low, double high) {
    return low <= high ? OrderedJson::array({low, high}) : OrderedJson(nullptr);
}

/// Reads a range that `rangeJson` wrote into `low` and `high`, which a null leaves as they are.
inline void readRange(const OrderedJson& range, double& low, double& high) {
    if (!range.is_null()) {
        low = range.at(0).get<double>();
        high = range.at(1).get<double>();
    }
}

inline OrderedJson tallyJson(const Engine::PointTally& tally) {
    return {{"z", rangeJson(tally.minZ, tally.maxZ)},
            {"pointsByReturn", tally.pointsByReturn},
            {"invalidReturnNumbers", tally.invalidReturnNumbers},
            {"times", rangeJson(tally.lowestTime, tally.highestTime)}};
}

/// The tally that `tallyJson` wrote. Throws nlohmann::json::exception for anything else.
inline Engine::PointTally tallyOf(const OrderedJson& object) {
    Engine::PointTally tally;
    readRange(object.at("z"), tally.minZ, tally.maxZ);
    tally.pointsByReturn = object.at("pointsByReturn").get<std::array<std::uint64_t, 16>>();
    tally.invalidReturnNumbers = object.at("invalidReturnNumbers").get<std::uint64_t>();
    readRange(object.at("times"), tally.lowestTime, tally.highestTime);
    return tally;
}

} // namespace Orvid::Compare
