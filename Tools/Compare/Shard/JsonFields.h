#pragma once

#include <CompareEngine/InputFacts.h>
#include <Core/IOException.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

namespace Orvid::Compare {

// Keys keep the order they are written in, so that the files read top-down.
using OrderedJson = nlohmann::ordered_json;

/// How a message shows `value`: as written when it is a single value, else by its kind.
inline std::string shownJson(const OrderedJson& value) {
    if (value.is_structured()) {
        return std::string("an ") + value.type_name();
    }
    return value.dump();
}

/// The field `key` of `object`, which must be `expected`. Throws std::invalid_argument naming the field
/// when it is missing, or what it must be when `holds` says it is not.
template <typename Holds>
const OrderedJson& checkedField(const OrderedJson& object, const std::string& key,
                                const std::string& expected, Holds&& holds) {
    if (!object.contains(key)) {
        throw std::invalid_argument(key + ": missing");
    }
    const OrderedJson& value = object.at(key);
    if (!holds(value)) {
        throw std::invalid_argument(key + ": must be " + expected + ", not " + shownJson(value));
    }
    return value;
}

/// The field `key` of `object` as a T: a boolean, a string, a number, a list of strings, or a whole
/// number that T holds. Throws as `checkedField` does when it is anything else.
template <typename T>
T fieldOf(const OrderedJson& object, const std::string& key) {
    if constexpr (std::is_same_v<T, bool>) {
        return checkedField(object, key, "true or false",
                            [](const OrderedJson& value) { return value.is_boolean(); })
            .template get<T>();
    } else if constexpr (std::is_same_v<T, std::string>) {
        return checkedField(object, key, "a string",
                            [](const OrderedJson& value) { return value.is_string(); })
            .template get<T>();
    } else if constexpr (std::is_floating_point_v<T>) {
        return checkedField(object, key, "a number",
                            [](const OrderedJson& value) { return value.is_number(); })
            .template get<T>();
    } else if constexpr (std::is_same_v<T, std::vector<std::string>>) {
        return checkedField(object, key, "a list of strings",
                            [](const OrderedJson& value) {
                                return value.is_array() &&
                                       std::all_of(value.begin(), value.end(),
                                                   [](const OrderedJson& item) { return item.is_string(); });
                            })
            .template get<T>();
    } else {
        static_assert(std::is_integral_v<T>, "a field of another type");
        const auto holds = [](const OrderedJson& value) {
            if (value.is_number_unsigned()) {
                return value.get<std::uint64_t>() <= std::uint64_t{std::numeric_limits<T>::max()};
            }
            return value.is_number_integer() && std::is_signed_v<T> &&
                   value.get<std::int64_t>() >= std::int64_t{std::numeric_limits<T>::min()};
        };
        return checkedField(object, key,
                            "a whole number from " + std::to_string(std::numeric_limits<T>::min()) + " to " +
                                std::to_string(std::numeric_limits<T>::max()),
                            holds)
            .template get<T>();
    }
}

/// The field `key` of `object` as a T, as `fieldOf` reads it; absent when it is null.
template <typename T>
std::optional<T> optionalFieldOf(const OrderedJson& object, const std::string& key) {
    if (object.contains(key) && object.at(key).is_null()) {
        return std::nullopt;
    }
    return fieldOf<T>(object, key);
}

/// The field `key` of `object`, a list. Throws as `checkedField` does when it is anything else.
inline const OrderedJson& listField(const OrderedJson& object, const std::string& key) {
    return checkedField(object, key, "a list", [](const OrderedJson& value) { return value.is_array(); });
}

/// The field `key` of `object`, an object. Throws as `checkedField` does when it is anything else.
inline const OrderedJson& objectField(const OrderedJson& object, const std::string& key) {
    return checkedField(object, key, "an object", [](const OrderedJson& value) { return value.is_object(); });
}

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
