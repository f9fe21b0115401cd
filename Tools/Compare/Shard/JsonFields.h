#pragma once

#include <CompareEngine/InputFacts.h>
#include <Core/IOException.h>

#include <nlohmann/json.hpp>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

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

/// Writes `document`, compact, and a newline to the file `path`, shown as `shownAs` in messages. Throws
/// std::runtime_error ("<shownAs>: cannot write <what> (<reason>)") when it cannot be written completely.
inline void writeJsonFile(const std::filesystem::path& path, const OrderedJson& document,
                          const std::filesystem::path& shownAs, const std::string& what) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << document << '\n';
    file.close();
    if (!file) {
        throw std::runtime_error(shownAs.string() + ": cannot write " + what + " (" + std::strerror(errno) +
                                 ")");
    }
}

/// The whole text of the file `path`. Throws Core::IOException ("<path>: cannot read <what> (<reason>)")
/// when it cannot be read.
inline std::string textOfFile(const std::filesystem::path& path, const std::string& what) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    if (!file || !(text << file.rdbuf())) {
        throw Core::IOException(path.string() + ": cannot read " + what + " (" + std::strerror(errno) + ")");
    }
    return text.str();
}

/// How messages name a JSON file of one schema.
struct JsonFileKind {
    const char* schema;
    /// "cannot read <what>".
    const char* what;
    /// "not <kind> (schema ...)".
    const char* kind;
    /// "<malformed>: <reason>" when its contents do not hold what the schema says.
    const char* malformed;
};

/// Reads the JSON file `path`, checks that its schema is `kind`'s and returns what `read` makes of the
/// document. Throws Core::IOException, with a message that starts with the path, when the file cannot
/// be read, has another schema, or is not what the schema says (JSON errors, and std::invalid_argument
/// or std::out_of_range from `read`).
template <typename Read>
auto readJsonFile(const std::filesystem::path& path, const JsonFileKind& kind, Read&& read) {
    const std::string text = textOfFile(path, kind.what);
    try {
        const OrderedJson document = OrderedJson::parse(text);
        if (document.at("schema") != kind.schema) {
            throw Core::IOException(path.string() + ": not " + kind.kind + " (schema " +
                                    document.at("schema").dump() + ", not \"" + kind.schema + "\")");
        }
        return read(document);
    } catch (const nlohmann::json::exception& error) {
        throw Core::IOException(path.string() + ": " + kind.malformed + ": " + error.what());
    } catch (const std::invalid_argument& error) {
        throw Core::IOException(path.string() + ": " + kind.malformed + ": " + error.what());
    } catch (const std::out_of_range& error) {
        throw Core::IOException(path.string() + ": " + kind.malformed + ": " + error.what());
    }
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
