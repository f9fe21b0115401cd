#include "Command/RunSetup.h"

#include "Command/ClassFileKind.h"
#include "Command/WindowsAdvice.h"
#include "Render/TextSummary.h"

#include <CompareEngine/ComparedAttribute.h>
#include <CompareEngine/TimeOffsetEstimate.h>
#include <FileIoInterface/Las/LasHeader.h>
#include <FileIoInterface/Las/LasReader.h>
#include <Metadata/MetadataComparison.h>
#include <Metadata/PointChecks.h>

#include <Core/IOException.h>
#include <Utils/UsableCpus.h>

#include <algorithm>
#include <initializer_list>
#include <limits>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <system_error>
#include <utility>

namespace Orvid::Compare {
namespace {

namespace fs = std::filesystem;
using FileIoInterface::Las::LasHeader;

constexpr const char* ROLES[2] = {"reference", "test"};

/// The extra attribute names of both inputs' files, each once, in the order first met.
std::vector<std::string> extraNamesOf(const InputLegs& reference, const InputLegs& test) {
    std::vector<std::string> names;
    for (const InputLegs* input : {&reference, &test}) {
        for (const LasHeader& header : input->headers) {
            for (const auto& descriptor : header.extraAttributes) {
                if (std::find(names.begin(), names.end(), descriptor.name) == names.end()) {
                    names.push_back(descriptor.name);
                }
            }
        }
    }
    return names;
}

/// Whether `name` is a point attribute as the reports name it ("intensity", ..., "color") or "gpsTime".
bool isStandardAttributeName(const std::string& name) {
    return name == Engine::GPS_TIME_NAME || Engine::attributeNamed(name).has_value();
}

/// Resolves the tolerances and ignored names of `settings` into `engine` and states them in
/// `parameters`.
void applyTolerances(const ComparisonSettings& settings, const ComparisonReport& report,
                     const InputLegs& reference, const InputLegs& test, Engine::EngineOptions& engine,
                     RunParameters& parameters) {
    const std::vector<std::string> extraNames = extraNamesOf(reference, test);
    const auto known = [&](const std::string& flag, const std::string& name) {
        if (!isStandardAttributeName(name) &&
            std::find(extraNames.begin(), extraNames.end(), name) == extraNames.end()) {
            throw std::invalid_argument(
                flag + ": '" + name + "' is neither a point attribute nor an extra attribute of the inputs");
        }
    };
    // Whole degrees on either side: values agree within half a degree; else within half of 0.006°.
    const bool wholeDegrees = report.reference.wholeDegreeScanAngles || report.test.wholeDegreeScanAngles;
    engine.tolerances[static_cast<std::size_t>(Engine::ComparedAttribute::scanAngle)] =
        wholeDegrees ? 0.5 : 0.003;
    for (const auto& [name, value] : settings.tolerances) {
        known("--tolerance", name);
        const std::optional<Engine::ComparedAttribute> attribute = Engine::attributeNamed(name);
        if (attribute == Engine::ComparedAttribute::color) {
            engine.rgbEpsilon = static_cast<std::uint16_t>(value);
            parameters.rgbEpsilon = engine.rgbEpsilon;
        } else if (attribute) {
            engine.tolerances[static_cast<std::size_t>(*attribute)] = value;
        } else if (name != Engine::GPS_TIME_NAME) {
            engine.extraTolerances[name] = value;
        }
    }
    for (const std::string& name : settings.ignored) {
        known("--ignore", name);
        if (const std::optional<Engine::ComparedAttribute> attribute = Engine::attributeNamed(name)) {
            engine.ignored = static_cast<Engine::AttributeMask>(engine.ignored | Engine::maskOf(*attribute));
        } else {
            engine.ignoredExtras.insert(name);
        }
        if (std::find(parameters.ignored.begin(), parameters.ignored.end(), name) ==
            parameters.ignored.end()) {
            parameters.ignored.push_back(name);
        }
    }
    const auto ignored = [&](const std::string& name) {
        return std::find(parameters.ignored.begin(), parameters.ignored.end(), name) !=
               parameters.ignored.end();
    };
    for (const Engine::ComparedAttributeDescriptor& attribute : Engine::COMPARED_ATTRIBUTES) {
        if (ignored(attribute.name)) {
            continue;
        }
        const double tolerance = attribute.attribute == Engine::ComparedAttribute::color
                                     ? static_cast<double>(engine.rgbEpsilon)
                                     : engine.tolerances[static_cast<std::size_t>(attribute.attribute)];
        parameters.tolerances.emplace_back(attribute.name, tolerance);
    }
    parameters.tolerances.emplace_back(Engine::GPS_TIME_NAME, 0.0);
    for (const std::string& name : extraNames) {
        if (!ignored(name)) {
            const auto given = engine.extraTolerances.find(name);
            parameters.tolerances.emplace_back(name,
                                               given != engine.extraTolerances.end() ? given->second : 0.0);
        }
    }
}

RunParameters parametersOf(const ComparisonSettings& settings, const ComparisonReport& report) {
    RunParameters parameters;
    parameters.epsilonFromScale = !settings.epsilon;
    parameters.epsilon = settings.epsilon.value_or(std::max(
        *std::max_element(report.reference.coarsestScale.begin(), report.reference.coarsestScale.end()),
        *std::max_element(report.test.coarsestScale.begin(), report.test.coarsestScale.end())));
    parameters.epsilonXY = settings.epsilonXY.value_or(parameters.epsilon);
    parameters.epsilonZ = settings.epsilonZ.value_or(parameters.epsilon);
    parameters.timeOffset = settings.timeOffset;
    parameters.rgbEpsilon = settings.rgbEpsilon;
    parameters.pointAttributes = settings.pointAttributes;
    parameters.extraAttributes = settings.extraAttributes;
    parameters.memory = settings.memory.value_or(Engine::defaultMemoryBudget());
    parameters.threads = settings.threads.value_or(Utils::usableCpuCount());
    parameters.pairByChannel = settings.pairByChannel;
    parameters.failOn = settings.failOn;
    parameters.metadataFailOn = settings.metadataFailOn;
    parameters.strict = settings.strict;
    parameters.ignoredMetadata = settings.ignoredMetadata;
    return parameters;
}

/// The epsilon that stands for 0 (exact) along `axes` (0 x, 1 y, 2 z): a thousandth of the finest
/// scale factor of the inputs' files there. Positions that are one stored position at that scale
/// differ, once converted to doubles through different offsets, by rounding errors of about 1e-10;
/// positions that differ, by at least the scale factor.
double exactEpsilon(const InputLegs& reference, const InputLegs& test, std::initializer_list<int> axes) {
    double finest = std::numeric_limits<double>::infinity();
    for (const InputLegs* input : {&reference, &test}) {
        for (const LasHeader& header : input->headers) {
            for (const int axis : axes) {
                finest = std::min(finest,
                                  axis == 0 ? header.scale.x : (axis == 1 ? header.scale.y : header.scale.z));
            }
        }
    }
    return finest / 1000.0;
}

/// Gives every epsilon that is 0 the value that makes it mean "the same stored position".
void resolveExactEpsilons(const InputLegs& reference, const InputLegs& test, RunParameters& parameters) {
    if (parameters.epsilon == 0.0) {
        parameters.epsilon = exactEpsilon(reference, test, {0, 1, 2});
        parameters.epsilonExact = true;
    }
    if (parameters.epsilonXY == 0.0) {
        parameters.epsilonXY = exactEpsilon(reference, test, {0, 1});
        parameters.epsilonExact = true;
    }
    if (parameters.epsilonZ == 0.0) {
        parameters.epsilonZ = exactEpsilon(reference, test, {2});
        parameters.epsilonExact = true;
    }
}

Engine::EngineOptions engineOptionsOf(const RunParameters& parameters) {
    Engine::EngineOptions engineOptions;
    engineOptions.epsilon = parameters.epsilon;
    engineOptions.epsilonXY = parameters.epsilonXY;
    engineOptions.epsilonZ = parameters.epsilonZ;
    engineOptions.timeOffset = parameters.timeOffset;
    engineOptions.rgbEpsilon = parameters.rgbEpsilon;
    engineOptions.comparePointAttributes = parameters.pointAttributes;
    engineOptions.compareExtraAttributes = parameters.extraAttributes;
    engineOptions.pairByChannel = parameters.pairByChannel;
    engineOptions.pairByPosition = parameters.pairedByPosition;
    engineOptions.threads = parameters.threads;
    engineOptions.memoryBudget = parameters.memory;
    return engineOptions;
}

/// "the reference", "the test" or "the reference and the test": the inputs that `sides` mark.
std::string inputsMarked(const std::array<bool, 2>& sides) {
    return sides[0] && sides[1] ? "the reference and the test" : (sides[0] ? "the reference" : "the test");
}

/// Pairs by position when an input's point format holds no GPS time: a time of 0 for every point of
/// one input would pair none of them with the other's times, so neither input's times are used.
void pairByPositionWithoutTimes(const ComparisonReport& report, RunParameters& parameters) {
    const std::array<bool, 2> without{report.reference.withoutGpsTime, report.test.withoutGpsTime};
    if (!without[0] && !without[1]) {
        return;
    }
    parameters.pairedByPosition = true;
    parameters.pairedByPositionBecause =
        inputsMarked(without) + (without[0] && without[1] ? " have" : " has") +
        " a point format without GPS time (0 or 2)" +
        (without[0] && without[1] ? "" : ", so the other's times are not used either");
}

/// What was seen of an input, for the report.
void describeScan(const ScannedInput& scanned, std::size_t legs, InputScan& scan) {
    scan.points = scanned.facts.points;
    scan.legs = legs;
    scan.nanTimes = scanned.facts.nanTimes;
    scan.duplicateKeys = scanned.facts.duplicateKeys;
    scan.inKeyOrder = scanned.facts.inKeyOrder;
    scan.pointsBySourceId = scanned.pointsBySourceId;
}

/// Adds the warnings about an input's duplicate keys and NaN times; `role` is "reference" or "test".
void warnAboutKeys(const char* role, const Engine::InputFacts& facts, bool pairByChannel,
                   std::vector<std::string>& warnings) {
    if (facts.duplicateKeys != 0) {
        std::string warning = std::string(role) + ": " + counted(facts.duplicateKeys, "point") +
                              " share their (GPS time, return number" +
                              (pairByChannel ? ", scanner channel" : "") +
                              ") with an earlier point; their pairing is ambiguous";
        if (!pairByChannel && facts.channelSeparatesDuplicates()) {
            warning += "; their scanner channels differ, so --pair-by-channel tells them apart";
        }
        warnings.push_back(warning);
    }
    if (facts.nanTimes != 0) {
        warnings.push_back(std::string(role) + ": " + counted(facts.nanTimes, "point") +
                           (facts.nanTimes == 1 ? " has" : " have") +
                           " a NaN GPS time; NaN-time points pair only with each other, by return number in "
                           "reading order");
    }
}

/// When fewer than 1 % of the points of the run described in `report` paired, estimates the constant
/// offset between the inputs' times from a sample; a non-zero one goes to the report with the option
/// that applies it.
void suggestTimeOffset(const InputLegs& reference, const InputLegs& test,
                       const Engine::EngineOptions& engineOptions, ComparisonReport& report) {
    // Every test point is either added or paired.
    const std::uint64_t fewer = std::min(report.reference.scan.points, report.test.scan.points);
    const std::uint64_t paired = report.test.scan.points - report.summary.counts[DifferenceClass::added];
    if (fewer == 0 || paired * 100 >= fewer) {
        return;
    }
    const std::optional<Engine::TimeOffsetEstimate> estimate =
        Engine::estimateTimeOffset(reference.files, test.files, engineOptions);
    if (estimate && estimate->offset != 0.0) {
        report.suggestedTimeOffset = estimate;
    }
}

/// Compares the inputs' headers, records and coordinate systems into `report.metadata`; what they hold
/// that is doubtful goes to its warnings or, with --strict, stops the run.
void compareInputMetadata(const ComparisonSettings& settings, const InputLegs& reference,
                          const InputLegs& test, ComparisonReport& report) {
    std::error_code error;
    const Metadata::InputHeaders referenceHeaders{ROLES[0], report.reference.path, reference.files,
                                                  reference.headers,
                                                  fs::is_directory(report.reference.path, error)};
    const Metadata::InputHeaders testHeaders{ROLES[1], report.test.path, test.files, test.headers,
                                             fs::is_directory(report.test.path, error)};
    Metadata::MetadataComparison comparison =
        Metadata::compareMetadata(referenceHeaders, testHeaders, settings.ignoredMetadata);
    if (settings.strict && !comparison.warnings.empty()) {
        throw Core::IOException(comparison.warnings.front() + " (an error with --strict)");
    }
    report.metadata = std::move(comparison.report);
    report.warnings.insert(report.warnings.end(), comparison.warnings.begin(), comparison.warnings.end());
}

/// Notes when the reference and the test are the same files (one path twice, or through a link).
void noteOneCloudTwice(const InputLegs& reference, const InputLegs& test, ComparisonReport& report) {
    if (reference.files.size() != test.files.size()) {
        return;
    }
    for (std::size_t leg = 0; leg < reference.files.size(); ++leg) {
        std::error_code error;
        if (!fs::equivalent(reference.files[leg], test.files[leg], error)) {
            return;
        }
    }
    report.warnings.push_back("the reference and the test are the same " +
                              std::string(reference.files.size() == 1 ? "file" : "files") +
                              (report.reference.path == report.test.path
                                   ? ""
                                   : " (" + report.test.path.string() + " leads to them)") +
                              ": the cloud is compared with itself");
}

/// Subfolders of `folder`, which a comparison does not search.
std::size_t subfoldersOf(const fs::path& folder) {
    std::error_code error;
    std::size_t subfolders = 0;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        subfolders += entry->is_directory(error) ? 1U : 0U;
    }
    return subfolders;
}

} // namespace

std::vector<fs::path> lasFilesOf(const fs::path& input) {
    std::error_code error;
    if (fs::is_directory(input, error)) {
        std::vector<fs::path> files = FileIoInterface::Las::lasFilesIn(input);
        if (files.empty()) {
            const std::size_t subfolders = subfoldersOf(input);
            throw Core::IOException(input.string() + ": the folder holds no .las or .laz file" +
                                    (subfolders == 0 ? ""
                                                     : "; subfolders are not searched, and it has " +
                                                           counted(subfolders, "subfolder")));
        }
        return files;
    }
    if (!fs::exists(input, error)) {
        throw Core::IOException(input.string() + ": no such file or folder");
    }
    if (!fs::is_regular_file(input, error)) {
        throw Core::IOException(input.string() +
                                ": not a regular file (a pipe, device or socket cannot be read twice)");
    }
    return {input};
}

std::vector<fs::path> pathsRead(const std::array<fs::path, 2>& inputs,
                                const std::array<std::vector<fs::path>, 2>& files) {
    std::vector<fs::path> paths(inputs.begin(), inputs.end());
    for (const std::vector<fs::path>& side : files) {
        paths.insert(paths.end(), side.begin(), side.end());
    }
    return paths;
}

std::uint64_t bytesOf(const std::vector<fs::path>& files) {
    std::uint64_t bytes = 0;
    for (const fs::path& file : files) {
        std::error_code error;
        const std::uintmax_t size = fs::file_size(file, error);
        bytes += error ? 0 : size;
    }
    return bytes;
}

InputLegs readInput(const fs::path& input, std::vector<fs::path> files, bool strict,
                    InputDescription& description, std::vector<std::string>& warnings) {
    InputLegs legs{std::move(files), {}};
    description.path = input;
    description.files = legs.files;
    for (const fs::path& file : legs.files) {
        LasHeader header = FileIoInterface::Las::readLasHeader(file);
        for (const std::string& warning : header.warnings) {
            const std::string located = file.string() + ": " + warning;
            if (strict) {
                throw Core::IOException(located + " (an error with --strict)");
            }
            warnings.push_back(located);
        }
        description.formats.insert(header.describe());
        description.wholeDegreeScanAngles = description.wholeDegreeScanAngles || header.pointFormat < 6;
        if (header.hasGpsTime()) {
            const std::string standard =
                header.hasAdjustedStandardGpsTime() ? "adjusted standard GPS time" : "GPS week time";
            description.timeStandard =
                description.timeStandard.empty() || description.timeStandard == standard ? standard : "mixed";
        } else {
            description.withoutGpsTime = true;
        }
        description.announcedPoints += header.pointCount;
        description.coarsestScale[0] = std::max(description.coarsestScale[0], header.scale.x);
        description.coarsestScale[1] = std::max(description.coarsestScale[1], header.scale.y);
        description.coarsestScale[2] = std::max(description.coarsestScale[2], header.scale.z);
        legs.headers.push_back(std::move(header));
    }
    return legs;
}

std::vector<fs::path> filesOfBoth(const std::array<std::vector<fs::path>, 2>& files) {
    std::vector<fs::path> both = files[0];
    both.insert(both.end(), files[1].begin(), files[1].end());
    return both;
}

std::array<InputLegs, 2> readInputs(const std::array<fs::path, 2>& inputs,
                                    std::array<std::vector<fs::path>, 2> files, bool strict,
                                    ComparisonReport& report) {
    return {readInput(inputs[0], std::move(files[0]), strict, report.reference, report.warnings),
            readInput(inputs[1], std::move(files[1]), strict, report.test, report.warnings)};
}

Engine::EngineOptions setUpRun(const ComparisonSettings& settings, ComparisonReport& report,
                               const InputLegs& reference, const InputLegs& test, InputMetadata metadata) {
    noteOneCloudTwice(reference, test, report);
    if (metadata == InputMetadata::compared) {
        compareInputMetadata(settings, reference, test, report);
    }
    report.parameters = parametersOf(settings, report);
    pairByPositionWithoutTimes(report, report.parameters);
    resolveExactEpsilons(reference, test, report.parameters);
    Engine::EngineOptions engineOptions = engineOptionsOf(report.parameters);
    applyTolerances(settings, report, reference, test, engineOptions, report.parameters);
    return engineOptions;
}

std::unique_ptr<ClassFiles> makeClassFiles(const fs::path& folder, const InputLegs& reference,
                                           const InputLegs& test, std::optional<ClassFileFormat> format,
                                           std::size_t threads, std::vector<std::string>& warnings) {
    ClassFileKind referenceKind = classFileKindOf("reference", reference.headers);
    ClassFileKind testKind = classFileKindOf("test", test.headers);
    for (const ClassFileKind* kind : {&referenceKind, &testKind}) {
        warnings.insert(warnings.end(), kind->warnings.begin(), kind->warnings.end());
    }
    bool everyInputLaz = true;
    for (const InputLegs* input : {&reference, &test}) {
        for (const FileIoInterface::Las::LasHeader& header : input->headers) {
            everyInputLaz = everyInputLaz && header.lazDescription.has_value();
        }
    }
    chooseClassFileFormat(format, everyInputLaz, threads, {&referenceKind, &testKind});
    return std::make_unique<ClassFiles>(folder, reference, test, std::move(referenceKind),
                                        std::move(testKind));
}

void completeReport(const std::array<InputLegs, 2>& legs, const std::array<ScannedInput, 2>& scanned,
                    const Engine::EngineOptions& engineOptions, ComparisonReport& report) {
    InputDescription* descriptions[2] = {&report.reference, &report.test};
    std::vector<std::string> inputWarnings;
    for (std::size_t side = 0; side < 2; ++side) {
        describeScan(scanned[side], legs[side].files.size(), descriptions[side]->scan);
        warnAboutKeys(ROLES[side], scanned[side].facts, report.parameters.pairByChannel, report.warnings);
        const std::vector<std::string> found = Metadata::checkHeadersAgainstPoints(
            std::string(ROLES[side]) + " " + descriptions[side]->path.string(), legs[side].headers,
            scanned[side].facts);
        inputWarnings.insert(inputWarnings.end(), found.begin(), found.end());
    }
    const std::array<bool, 2> oneTime{scanned[0].facts.oneTime, scanned[1].facts.oneTime};
    if (!report.parameters.pairedByPosition && oneTime[0] && oneTime[1]) {
        report.parameters.pairedByPosition = true;
        report.parameters.pairedByPositionBecause =
            "all points of the reference and all points of the test share one GPS time each, which tells "
            "them apart no better than no time";
    }
    if (!report.parameters.pairedByPosition) {
        suggestTimeOffset(legs[0], legs[1], engineOptions, report);
    }
    report.different = differs(report.summary.counts, report.parameters.failOn) ||
                       report.metadata.fails(report.parameters.metadataFailOn);
    report.exitStatus = report.different ? 1 : 0;
    // Found only once the points were read: with --strict they fail the run, whose reports still say why.
    if (report.parameters.strict && !inputWarnings.empty()) {
        report.exitStatus = 2;
        for (std::string& warning : inputWarnings) {
            warning += " (an error with --strict)";
        }
    }
    report.warnings.insert(report.warnings.end(), inputWarnings.begin(), inputWarnings.end());
}

void reportOutcome(const Engine::ComparisonOutcome& outcome, RunGatherer& gatherer,
                   const std::array<InputLegs, 2>& legs, const Engine::EngineOptions& engineOptions,
                   ComparisonReport& report) {
    report.parameters.windows = outcome.windows;
    report.parameters.temporaryBytes = outcome.temporaryBytes;
    if (const std::optional<std::string> warning = extraWindowsWarning(report.parameters.memory, outcome)) {
        report.warnings.push_back(*warning);
    }
    report.summary = gatherer.summary();
    report.summary.extraDifferences = outcome.extraDifferenceCounts;
    report.map = gatherer.takeMap();
    if (report.parameters.pointAttributes) {
        report.summary.attributeDifferences = outcome.differenceCounts.counts;
    }
    completeReport(legs,
                   {ScannedInput{outcome.reference, gatherer.referencePointsBySourceId()},
                    ScannedInput{outcome.test, gatherer.testPointsBySourceId()}},
                   engineOptions, report);
}

void finishRun(ComparisonReport& report, std::uint64_t unwrittenPoints, RunOutputs& outputs, bool quiet,
               std::ostream& out) {
    if (unwrittenPoints != 0) {
        report.warnings.push_back(counted(unwrittenPoints, "point") + " did not fit the LAS files of " +
                                  outputs.outDirectory()->string() + " and were left out");
    }
    if (!quiet) {
        printAttributeStatistics(out, report);
        printSummary(out, report);
    }
    outputs.commit(report);
}

} // namespace Orvid::Compare
