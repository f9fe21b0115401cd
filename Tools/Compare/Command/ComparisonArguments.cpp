#include "Command/ComparisonArguments.h"

#include <CLI/CLI.hpp>

#include <CompareEngine/ComparedAttribute.h>
#include <CompareEngine/EngineOptions.h>
#include <FileIoInterface/Version.h>
#include <Metadata/MetadataComparison.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <utility>

namespace Orvid::Compare {
namespace {

/// The least --memory: about what the engine's working memory for one thread takes.
constexpr std::uint64_t LEAST_MEMORY = std::uint64_t{16} << 20;

constexpr std::uint64_t MOST_THREADS = 1024;

/// The number that `text` is, all of it; absent when it is none.
std::optional<double> numberIn(const std::string& text) {
    // Not std::stod, which throws for a subnormal (strtod flags it ERANGE) although it is a number all
    // the same; an overflow comes back infinite, for the callers to refuse.
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size() ? std::optional(value) : std::nullopt;
}

std::optional<double> parseEpsilon(const std::string& text) {
    if (text == "auto") {
        return std::nullopt;
    }
    const std::optional<double> value = numberIn(text);
    if (!value || !(*value >= 0.0) || !std::isfinite(*value)) {
        throw CLI::ValidationError("--epsilon", "must be 'auto' or a number of coordinate units, 0 or more");
    }
    return value;
}

/// A finite number, of at least 0 unless `signedValue`, as typed, for `flag`.
double parseAmount(const std::string& flag, const std::string& text, bool signedValue) {
    const double value = numberIn(text).value_or(std::nan(""));
    if (std::isinf(value)) {
        throw CLI::ValidationError(flag, "'" + text + "' is out of range");
    }
    if (std::isnan(value) || (!signedValue && value < 0.0)) {
        throw CLI::ValidationError(flag, "'" + text + "' is not a " + (signedValue ? "" : "non-negative ") +
                                             "number");
    }
    return value;
}

/// NAME=VALUE of --tolerance.
std::pair<std::string, double> parseTolerance(const std::string& text) {
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0) {
        throw CLI::ValidationError("--tolerance", "'" + text + "' is not NAME=VALUE");
    }
    std::string name = text.substr(0, equals);
    const double value = parseAmount("--tolerance " + name, text.substr(equals + 1), false);
    if (name == Engine::GPS_TIME_NAME && value != 0.0) {
        throw CLI::ValidationError(
            "--tolerance gpsTime",
            "points pair on equal GPS times (after --time-offset); only 0 is accepted");
    }
    if (Engine::attributeNamed(name) == Engine::ComparedAttribute::color &&
        (value != std::floor(value) || value > 65535.0)) {
        throw CLI::ValidationError("--tolerance color", "must be a whole number from 0 to 65535");
    }
    return {std::move(name), value};
}

std::string gibibytes(std::uint64_t bytes) {
    const double value = static_cast<double>(bytes) / static_cast<double>(1ULL << 30);
    std::ostringstream text;
    text.precision(3);
    text << value << " GiB";
    return text.str();
}

/// What --tolerance accepts, as its help lists it: the compared attributes in order, then the rest.
std::string toleranceNames() {
    std::string names;
    for (const Engine::ComparedAttributeDescriptor& attribute : Engine::COMPARED_ATTRIBUTES) {
        names += attribute.name;
        names += attribute.attribute == Engine::ComparedAttribute::color ? " (as --rgb-epsilon), " : ", ";
    }
    return names + "gpsTime (0 only), or an extra attribute's name";
}

/// A whole number from `least` to `most`, as typed for `flag`: signs, fractions and trailing letters
/// are refused.
std::uint64_t parseWhole(const std::string& flag, const std::string& text, std::uint64_t least,
                         std::uint64_t most) {
    std::uint64_t value = 0;
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || stop != end || error != std::errc() || value < least || value > most) {
        throw CLI::ValidationError(flag, "must be a whole number from " + std::to_string(least) + " to " +
                                             std::to_string(most) + ", not '" + text + "'");
    }
    return value;
}

/// The bytes of a binary multiple's letter (K, M, G, T, any case, "B", "iB" or nothing after it), or of
/// plain bytes ("" or "B"); 0 for anything else.
std::uint64_t unitOf(std::string unit) {
    std::transform(unit.begin(), unit.end(), unit.begin(),
                   [](unsigned char character) { return static_cast<char>(std::toupper(character)); });
    if (unit.empty() || unit == "B") {
        return 1;
    }
    const std::string prefixes = "KMGT";
    const std::size_t power = prefixes.find(unit[0]);
    const std::string rest = unit.substr(1);
    if (power == std::string::npos || !(rest.empty() || rest == "B" || rest == "IB")) {
        return 0;
    }
    return std::uint64_t{1} << (10 * (power + 1));
}

/// A size as --memory takes it: a positive number, fractions allowed, and a binary unit.
std::uint64_t parseMemory(const std::string& text) {
    const std::size_t digits = text.find_first_not_of("0123456789.");
    const std::string number = text.substr(0, digits);
    const std::uint64_t unit = unitOf(digits == std::string::npos ? "" : text.substr(digits));
    const double value = numberIn(number).value_or(0.0);
    if (unit == 0 || !(value > 0.0)) {
        throw CLI::ValidationError("--memory", "must be a positive size such as 512M, 1.5G or 2G (K, M, G, T "
                                               "are binary multiples), not '" +
                                                   text + "'");
    }
    const double bytes = value * static_cast<double>(unit);
    if (bytes < static_cast<double>(LEAST_MEMORY)) {
        throw CLI::ValidationError("--memory", "must be at least " + std::to_string(LEAST_MEMORY >> 20) +
                                                   "M, the comparison's own working memory, not '" + text +
                                                   "'");
    }
    return bytes >= 0x1p64 ? std::numeric_limits<std::uint64_t>::max() : static_cast<std::uint64_t>(bytes);
}

std::uint64_t checkedMemory(std::uint64_t bytes) {
    const std::optional<std::uint64_t> installed = Engine::physicalMemory();
    if (installed && bytes > *installed) {
        throw CLI::ValidationError("--memory", "is more than the " + gibibytes(*installed) +
                                                   " of memory this machine has");
    }
    return bytes;
}

constexpr const char* ANY = "any";
constexpr const char* NONE = "none";

/// The classes and metadata of every --fail-on together (none given: "any"), whose names its check let
/// through: "any" is every class and the coordinate system, "none" stands only alone.
void readFailOn(std::vector<std::string> names, ComparisonSettings& settings) {
    if (names.empty()) {
        names.emplace_back(ANY);
    }
    if (names.size() > 1 && std::find(names.begin(), names.end(), NONE) != names.end()) {
        throw CLI::ValidationError("--fail-on", "none stands alone; it cannot be given with " +
                                                    (names.front() == NONE ? names[1] : names.front()));
    }
    // "any" is every class and the coordinate system; "none" is nothing.
    std::vector<std::string> named;
    for (const std::string& name : names) {
        if (name == ANY) {
            const std::vector<std::string> every =
                failOnNames(DifferenceClasses::all(), Metadata::MetadataFailOn::crs);
            named.insert(named.end(), every.begin(), every.end());
        } else if (name != NONE) {
            named.push_back(name);
        }
    }
    readFailOnNames(named, settings.failOn, settings.metadataFailOn);
}

/// The items of `list`, comma-separated, empty ones too.
std::vector<std::string> itemsOf(const std::string& list) {
    std::vector<std::string> items(1);
    for (const char character : list) {
        if (character == ',') {
            items.emplace_back();
        } else {
            items.back() += character;
        }
    }
    return items;
}

/// The items of every list given to a list option, in order.
std::vector<std::string> itemsOf(const std::vector<std::string>& lists) {
    std::vector<std::string> items;
    for (const std::string& list : lists) {
        const std::vector<std::string> more = itemsOf(list);
        items.insert(items.end(), more.begin(), more.end());
    }
    return items;
}

/// Why an item of a list option is refused; empty when it is not.
using ItemCheck = std::string (*)(const std::string& item);

/// Declares `flag`, a comma-separated list of `item`s that may be given again, read into `target` as
/// given. Refuses an empty item, and any other that `check` refuses. The lists are split here, not by
/// CLI11, which drops empty items and takes the next word for a list left with none ("--fail-on ,,").
CLI::Option* addListOption(CLI::App& app, const std::string& flag, std::vector<std::string>& target,
                           const std::string& description, const char* item, ItemCheck check) {
    return app.add_option(flag, target, description)
        ->type_name("LIST")
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->check(CLI::Validator(
            [item, check](const std::string& list) {
                for (const std::string& name : itemsOf(list)) {
                    if (name.empty()) {
                        return "the list '" + list + "' has an empty " + item;
                    }
                    if (std::string refused = check(name); !refused.empty()) {
                        return refused;
                    }
                }
                return std::string();
            },
            ""));
}

std::string listed(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text;
}

} // namespace

CLI::Option* declareVersionFlag(CLI::App& app) {
    return app.set_version_flag("--version", std::string("orvid-compare ") + FILEIOINTERFACE_VERSION_STRING);
}

void InputArguments::declare(CLI::App& app) {
    app.add_option("REFERENCE", reference, "The reference cloud: a LAS or LAZ file, or a folder of them")
        ->type_name("PATH");
    app.add_option("TEST", test, "The test cloud, likewise")->type_name("PATH");
    // Taken unlisted, to say what the words beyond the two inputs are (a misspelt subcommand, say).
    app.add_option("EXTRA", extra)->group("");
}

void InputArguments::check(bool demo) const {
    if (!extra.empty()) {
        std::error_code error;
        const bool word = !reference.empty() && !std::filesystem::exists(reference, error) &&
                          std::all_of(reference.begin(), reference.end(),
                                      [](unsigned char character) { return std::islower(character) != 0; });
        throw CLI::ValidationError(word
                                       ? "'" + reference +
                                             "' is neither a subcommand (plan, shard, merge) nor "
                                             "an input: give REFERENCE TEST, or a subcommand"
                                       : "'" + extra.front() + "' is one word too many: give REFERENCE TEST");
    }
    if (!demo && (reference.empty() || test.empty())) {
        throw CLI::ValidationError("REFERENCE TEST", "give a reference and a test cloud (or --demo)");
    }
    if (demo && !test.empty()) {
        throw CLI::ValidationError("--demo", "takes at most one folder");
    }
}

ComparisonFlags::ComparisonFlags(CLI::App& app) {
    declareEpsilons(app);
    declareAttributeFlags(app);
    declareRunAndVerdictFlags(app);
}

void ComparisonFlags::declareEpsilons(CLI::App& app) {
    app.add_option("--epsilon", mEpsilon,
                   "Largest per-axis coordinate difference of a point left in place, in coordinate units (0: "
                   "exact); 'auto' takes the coarser coordinate scale factor of the two inputs")
        ->type_name("auto|UNITS")
        ->default_str("auto");
    app.add_option("--epsilon-xy", mEpsilonXY, "Epsilon across x and y only, overriding --epsilon there")
        ->type_name("UNITS");
    app.add_option("--epsilon-z", mEpsilonZ, "Epsilon along z only, overriding --epsilon there")
        ->type_name("UNITS");
}

void ComparisonFlags::declareAttributeFlags(CLI::App& app) {
    app.add_option(
           "--tolerance", mTolerances,
           "Largest difference at which an attribute still agrees, in its own units (scanAngle in "
           "degrees, an extra attribute in its scaled units); repeatable. Names: " +
               toleranceNames() +
               ". Default 0, but scanAngle 0.5 when an input stores whole degrees (point formats 0 to 5), "
               "else 0.003")
        ->type_name("NAME=VALUE")
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    addListOption(app, "--ignore", mIgnored,
                  "Attributes to leave out of the comparison, comma-separated, named as for --tolerance "
                  "(gpsTime excepted)",
                  "name", [](const std::string& name) {
                      return name == Engine::GPS_TIME_NAME ? std::string("gpsTime pairs the points and "
                                                                         "cannot be ignored")
                                                           : std::string();
                  });
    app.add_option("--time-offset", mTimeOffset,
                   "Seconds to add to every test GPS time before pairing, as a run with few pairs suggests "
                   "(a change between GPS week time and adjusted standard GPS time, or a clock offset)")
        ->type_name("SECONDS");
    app.add_option("--rgb-epsilon", mRgbEpsilon,
                   "Largest per-channel colour difference (0 to 65535) of points whose colour is unchanged")
        ->type_name("0..65535")
        ->default_str("0");
    app.add_flag("--no-point-attributes", mNoPointAttributes,
                 "Do not compare the point attributes (no 'mutated')");
    app.add_flag("--no-extra-attributes", mNoExtraAttributes,
                 "Do not compare the extra-bytes attributes (no "
                 "'altered')");
}

void ComparisonFlags::declareRunAndVerdictFlags(CLI::App& app) {
    mMemoryOption =
        app.add_option("--memory", mMemory,
                       "Memory the whole comparison may take, such as 512M, 1.5G or 2G (at least 16M); "
                       "inputs whose key index does not fit are compared in several GPS-time windows, "
                       "only slower; decoded LAZ inputs are kept in up to half of it, the rest in TMPDIR")
            ->type_name("SIZE")
            ->default_str("a quarter of physical memory");
    mThreadsOption = app.add_option("--threads", mThreads,
                                    "The most threads the run starts: LAZ decoding, comparison, and the "
                                    "compression of LAZ class files, shared")
                         ->type_name("N")
                         ->default_str("one per CPU this process may run on");
    app.add_flag(
        "--pair-by-channel", mDirect.pairByChannel,
        "Pair points by scanner channel too (point formats 6 to 10): multi-channel scanners fire pulses "
        "with the same GPS time on different channels");
    app.add_flag("--strict", mDirect.strict,
                 "Treat every warning about an input (such as a point count that disagrees with the file) "
                 "as an error");
    addListOption(
        app, "--fail-on", mFailOn,
        "What makes the exit status 1, comma-separated and repeatable: the classes removed, added, "
        "modified, mutated, altered; crs (a coordinate system changed, added or lost); metadata (any "
        "header, record or coordinate-system difference); any (every class and crs); or none alone",
        "class",
        [](const std::string& name) {
            return name == ANY || name == NONE || isFailOnName(name)
                       ? std::string()
                       : "'" + name +
                             "' is not one of removed, added, modified, mutated, altered, crs, metadata, "
                             "any, none";
        })
        ->default_str("any");
    addListOption(app, "--ignore-metadata", mIgnoredMetadata,
                  "Metadata to leave out of the comparison, comma-separated: header fields as the report "
                  "names them (creationDate and generatingSoftware are the usual ones), or crs, vlr or "
                  "extraBytes for a whole kind",
                  "name", [](const std::string& name) {
                      const std::vector<std::string> names = Metadata::ignorableMetadataNames();
                      return std::find(names.begin(), names.end(), name) != names.end()
                                 ? std::string()
                                 : "'" + name + "' is not one of " + listed(names);
                  });
    app.add_option("--out-format", mOutFormat,
                   "Format of the class files that --out writes: las, or laz (compressed); by default laz "
                   "when every input file is LAZ, else las")
        ->type_name("las|laz")
        ->check(CLI::Validator(
            [](std::string& name) {
                return classFileFormatNamed(name) ? std::string() : "'" + name + "' is not las or laz";
            },
            ""));
}

ComparisonSettings ComparisonFlags::read() const {
    ComparisonSettings settings = mDirect;
    settings.epsilon = parseEpsilon(mEpsilon);
    if (!mEpsilonXY.empty()) {
        settings.epsilonXY = parseAmount("--epsilon-xy", mEpsilonXY, false);
    }
    if (!mEpsilonZ.empty()) {
        settings.epsilonZ = parseAmount("--epsilon-z", mEpsilonZ, false);
    }
    for (const std::string& tolerance : mTolerances) {
        settings.tolerances.push_back(parseTolerance(tolerance));
    }
    settings.ignored = itemsOf(mIgnored);
    settings.ignoredMetadata = itemsOf(mIgnoredMetadata);
    settings.rgbEpsilon = static_cast<std::uint16_t>(
        parseWhole("--rgb-epsilon", mRgbEpsilon, 0, std::numeric_limits<std::uint16_t>::max()));
    if (!mTimeOffset.empty()) {
        settings.timeOffset = parseAmount("--time-offset", mTimeOffset, true);
    }
    if (mThreadsOption->count() > 0) {
        settings.threads = static_cast<unsigned>(parseWhole("--threads", mThreads, 1, MOST_THREADS));
    }
    if (mMemoryOption->count() > 0) {
        settings.memory = checkedMemory(parseMemory(mMemory));
    }
    settings.pointAttributes = !mNoPointAttributes;
    settings.extraAttributes = !mNoExtraAttributes;
    readFailOn(itemsOf(mFailOn), settings);
    settings.outFormat = classFileFormatNamed(mOutFormat);
    return settings;
}

} // namespace Orvid::Compare
