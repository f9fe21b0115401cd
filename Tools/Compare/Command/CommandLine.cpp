#include "Command/CommandLine.h"
#include "Command/UnknownOptions.h"

#include <CLI/CLI.hpp>

#include <CompareEngine/ComparedAttribute.h>
#include <CompareEngine/EngineOptions.h>
#include <FileIoInterface/Version.h>

#include <cmath>
#include <cstdint>
#include <iostream>
#include <sstream>

namespace Orvid::Compare {
namespace {

constexpr const char* DESCRIPTION = R"(Compares a test point cloud with a reference cloud, point by point.

Points are paired by identity, GPS time and return number, not by file order or nearest neighbour, so
re-sorted or re-tiled data compares correctly. Every test point ends in one class:
  removed   reference points that no test point has the identity of
  added     test points whose identity no reference point has (or several have, none in place)
  modified  moved: the one reference point of that identity lies beyond --epsilon on some axis
  mutated   in place, but a point attribute differs (intensity, returns, classification and its flags,
            scanner channel, scan direction, edge of flight line, user data, scan angle,
            point source id, colour beyond --rgb-epsilon)
  altered   in place, point attributes equal, but an extra-bytes attribute differs
REFERENCE and TEST are each a LAS or LAZ file, or a folder of them (its *.las and *.laz files in
name order are the flight legs). Input needs GPS time: point formats 0 and 2 are refused.

Exit status: 0 when nothing that --fail-on names differs, 1 when something does, 2 on a usage
error or an unreadable or malformed input.)";

constexpr const char* EPILOGUE = R"(
Examples:
  orvid-compare before/ after/
  orvid-compare --epsilon 0.005 --fail-on removed,added --json report.json ref.las new.las
  orvid-compare --out differences/ ref/ new/      (then open differences/*/ in a viewer)
  orvid-compare --demo                             (a synthetic survey with planted changes)
  orvid-compare plan ref/ new/ --shards 8 -o plan.json   (then shard and merge: see plan --help)
)";

std::optional<double> parseEpsilon(const std::string& text) {
    if (text == "auto") {
        return std::nullopt;
    }
    std::size_t used = 0;
    const double value = std::stod(text, &used);
    if (used != text.size() || !(value >= 0.0) || !std::isfinite(value)) {
        throw CLI::ValidationError("--epsilon", "must be 'auto' or a number of coordinate units, 0 or more");
    }
    return value;
}

/// A finite number of at least 0, as typed, for `flag`.
double parseAmount(const std::string& flag, const std::string& text, bool signedValue) {
    std::size_t used = 0;
    double value = 0.0;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (text.empty() || used != text.size() || !std::isfinite(value) || (!signedValue && value < 0.0)) {
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
    if (name == "gpsTime" && value != 0.0) {
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

/// A whole number of at least 1, as typed: signs, fractions and trailing letters are refused.
std::size_t parseCount(const std::string& flag, const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
        throw CLI::ValidationError(flag, "must be a whole number of at least 1, not '" + text + "'");
    }
    std::size_t used = 0;
    unsigned long long value = 0;
    try {
        value = std::stoull(text, &used);
    } catch (const std::out_of_range&) {
        throw CLI::ValidationError(flag, "'" + text + "' is too large");
    }
    if (value == 0) {
        throw CLI::ValidationError(flag, "must be a whole number of at least 1, not '" + text + "'");
    }
    return static_cast<std::size_t>(value);
}

} // namespace

bool isStandardAttributeName(const std::string& name) {
    return name == "gpsTime" || Engine::attributeNamed(name).has_value();
}

std::variant<CompareOptions, EarlyExit> parseCommandLine(int argc, const char* const* argv) {
    CompareOptions options;
    CLI::App app(DESCRIPTION, "orvid-compare");
    app.footer(EPILOGUE);
    app.get_formatter()->column_width(30);
    app.set_version_flag("--version", std::string("orvid-compare ") + FILEIOINTERFACE_VERSION_STRING);

    std::string reference;
    std::string test;
    app.add_option("REFERENCE", reference, "The reference cloud: a LAS or LAZ file, or a folder of them")
        ->type_name("PATH");
    app.add_option("TEST", test, "The test cloud, likewise")->type_name("PATH");

    std::string epsilon = "auto";
    app.add_option("--epsilon", epsilon,
                   "Largest per-axis coordinate difference of a point left in place, in coordinate units (0: "
                   "exact); 'auto' takes the coarser coordinate scale factor of the two inputs")
        ->type_name("auto|UNITS")
        ->default_str("auto");
    std::string epsilonXY;
    std::string epsilonZ;
    app.add_option("--epsilon-xy", epsilonXY, "Epsilon across x and y only, overriding --epsilon there")
        ->type_name("UNITS");
    app.add_option("--epsilon-z", epsilonZ, "Epsilon along z only, overriding --epsilon there")
        ->type_name("UNITS");
    std::vector<std::string> tolerances;
    app.add_option(
           "--tolerance", tolerances,
           "Largest difference at which an attribute still agrees, in its own units (scanAngle in "
           "degrees, an extra attribute in its scaled units); repeatable. Names: " +
               toleranceNames() +
               ". Default 0, but scanAngle 0.5 when an input stores whole degrees (point formats 0 to 5), "
               "else 0.003")
        ->type_name("NAME=VALUE")
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    std::vector<std::string> ignored;
    app.add_option("--ignore", ignored,
                   "Attributes to leave out of the comparison, comma-separated, named as for --tolerance "
                   "(gpsTime excepted)")
        ->type_name("LIST")
        ->delimiter(',')
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    std::string timeOffset;
    app.add_option("--time-offset", timeOffset,
                   "Seconds to add to every test GPS time before pairing, as a run with few pairs suggests "
                   "(a change between GPS week time and adjusted standard GPS time, or a clock offset)")
        ->type_name("SECONDS");
    app.add_option("--rgb-epsilon", options.settings.rgbEpsilon,
                   "Largest per-channel colour difference (0 to 65535) of "
                   "points whose colour is unchanged")
        ->type_name("0..65535")
        ->default_val(0);
    bool noPointAttributes = false;
    bool noExtraAttributes = false;
    app.add_flag("--no-point-attributes", noPointAttributes,
                 "Do not compare the point attributes (no 'mutated')");
    app.add_flag("--no-extra-attributes", noExtraAttributes,
                 "Do not compare the extra-bytes attributes (no "
                 "'altered')");
    std::uint64_t memory = 0;
    auto* memoryOption =
        app.add_option("--memory", memory,
                       "Memory the whole comparison may take, such as 512M or 2G; inputs whose key "
                       "index does not fit are compared in several GPS-time windows, only slower")
            ->transform(CLI::AsSizeValue(false))
            ->type_name("SIZE")
            ->default_str("a quarter of physical memory");
    std::string threads;
    auto* threadsOption = app.add_option("--threads", threads, "Threads of the comparison")
                              ->type_name("N")
                              ->default_str("one per core");
    app.add_flag(
        "--pair-by-channel", options.settings.pairByChannel,
        "Pair points by scanner channel too (point formats 6 to 10): multi-channel scanners fire pulses "
        "with the same GPS time on different channels");

    std::string outDirectory;
    app.add_option("--out", outDirectory,
                   "Write the differences as LAS files into this folder: modified/ (as read), displacement/ "
                   "(x, y, z = test - reference), added/, removed/, mutated/, altered/")
        ->type_name("DIR");
    app.add_flag("--overwrite", options.overwrite,
                 "Write into an --out folder that holds other files too (only the files an earlier run "
                 "wrote there are ever replaced)");
    app.add_flag("--strict", options.settings.strict,
                 "Treat every warning about an input (such as a point count that disagrees with the file) "
                 "as an error");
    std::string jsonFile;
    app.add_option("--json", jsonFile,
                   "Write a machine-readable report (JSON, schema 'orvid-compare/1') here")
        ->type_name("FILE");
    std::string htmlFile;
    app.add_option("--html", htmlFile,
                   "Write a self-contained HTML report here: a map of where the differences lie, a histogram "
                   "of the displacements, a chart of the attributes that differ and a table per flight line")
        ->type_name("FILE");
    std::string failOn = "any";
    app.add_option("--fail-on", failOn,
                   "Classes that make the exit status 1, comma-separated: removed, added, modified, mutated, "
                   "altered, any or none")
        ->type_name("LIST")
        ->check(CLI::Validator(
            [](std::string& list) {
                for (const std::string& name : CLI::detail::split(list, ',')) {
                    if (name != "any" && name != "none" && !differenceClassNamed(name)) {
                        return "'" + name +
                               "' is not one of removed, added, modified, mutated, altered, any, none";
                    }
                }
                return std::string();
            },
            "LIST"))
        ->default_str("any");
    app.add_flag("-q,--quiet", options.quiet, "Print nothing but errors");
    auto* progress =
        app.add_flag("--progress,!--no-progress", "Show a progress bar on standard error (default: "
                                                  "when it is a terminal)");
    app.add_flag("--demo", options.demo,
                 "Generate a synthetic survey and a changed copy (in the folder given as REFERENCE, or a "
                 "temporary one), compare them and check that the planted changes are found");

    try {
        rejectUnknownOptions(app, argc - 1, argv + 1);
        app.parse(argc, argv);
        if (!options.demo && (reference.empty() || test.empty())) {
            throw CLI::ValidationError("REFERENCE TEST", "give a reference and a test cloud (or --demo)");
        }
        if (options.demo && !test.empty()) {
            throw CLI::ValidationError("--demo", "takes at most one folder");
        }
        options.settings.epsilon = parseEpsilon(epsilon);
        if (!epsilonXY.empty()) {
            options.settings.epsilonXY = parseAmount("--epsilon-xy", epsilonXY, false);
        }
        if (!epsilonZ.empty()) {
            options.settings.epsilonZ = parseAmount("--epsilon-z", epsilonZ, false);
        }
        for (const std::string& tolerance : tolerances) {
            options.settings.tolerances.push_back(parseTolerance(tolerance));
        }
        for (const std::string& name : ignored) {
            if (name == "gpsTime") {
                throw CLI::ValidationError("--ignore", "gpsTime pairs the points and cannot be ignored");
            }
            if (name.empty()) {
                throw CLI::ValidationError("--ignore", "an empty name");
            }
            options.settings.ignored.push_back(name);
        }
        if (!timeOffset.empty()) {
            options.settings.timeOffset = parseAmount("--time-offset", timeOffset, true);
        }
        if (threadsOption->count() > 0) {
            const std::size_t count = parseCount("--threads", threads);
            if (count > 1024) {
                throw CLI::ValidationError("--threads", "at most 1024, not " + threads);
            }
            options.settings.threads = static_cast<unsigned>(count);
        }
        if (memoryOption->count() > 0) {
            options.settings.memory = memory;
            if (memory == 0) {
                throw CLI::ValidationError("--memory", "must be more than 0");
            }
            const std::optional<std::uint64_t> installed = Engine::physicalMemory();
            if (installed && memory > *installed) {
                throw CLI::ValidationError("--memory", "is more than the " + gibibytes(*installed) +
                                                           " of memory this machine has");
            }
        }
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return EarlyExit{status == 0 ? 0 : 2};
    } catch (const std::invalid_argument&) {
        std::cerr << "--epsilon: must be 'auto' or a number of coordinate units, 0 or more\n";
        return EarlyExit{2};
    } catch (const std::out_of_range&) {
        std::cerr << "--epsilon: out of range\n";
        return EarlyExit{2};
    }

    if (options.demo) {
        options.demoDirectory = reference;
    } else {
        options.reference = reference;
        options.test = test;
    }
    options.settings.pointAttributes = !noPointAttributes;
    options.settings.extraAttributes = !noExtraAttributes;
    if (!outDirectory.empty()) {
        options.outDirectory = outDirectory;
    }
    if (!jsonFile.empty()) {
        options.jsonFile = jsonFile;
    }
    if (!htmlFile.empty()) {
        options.htmlFile = htmlFile;
    }
    options.settings.failOn = DifferenceClasses();
    for (const std::string& name : CLI::detail::split(failOn, ',')) {
        if (name == "any") {
            options.settings.failOn = DifferenceClasses::all();
            break;
        }
        if (const auto kind = differenceClassNamed(name)) {
            options.settings.failOn.add(*kind);
        }
    }
    if (progress->count() > 0) {
        options.progress = progress->as<bool>();
    }
    return options;
}

} // namespace Orvid::Compare
