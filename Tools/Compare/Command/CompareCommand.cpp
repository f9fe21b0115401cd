#include "Command/CompareCommand.h"

#include "Command/ClassFileKind.h"
#include "Command/ClassFiles.h"
#include "Command/Interruption.h"
#include "Command/OutputTransaction.h"
#include "Command/Progress.h"
#include "Command/RunSetup.h"
#include "Command/RunSink.h"
#include "Gather/RunGatherer.h"
#include "Render/HtmlReport.h"
#include "Render/JsonReport.h"
#include "Render/TextSummary.h"

#include <CompareEngine/CompareEngine.h>
#include <CompareEngine/ComparedAttribute.h>
#include <CompareEngine/TimeOffsetEstimate.h>
#include <FileIoInterface/Las/LasHeader.h>
#include <FileIoInterface/Las/LasReader.h>

#include <Core/IOException.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <system_error>
#include <thread>

#include <unistd.h>

namespace Orvid::Compare {
namespace {

namespace fs = std::filesystem;
using FileIoInterface::Las::LasHeader;

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
    return name == "gpsTime" || Engine::attributeNamed(name).has_value();
}

} // namespace

/// The LAS and LAZ files of an input: the file itself, or its *.las and *.laz files in name order.
std::vector<fs::path> lasFilesOf(const fs::path& input) {
    std::error_code error;
    if (fs::is_directory(input, error)) {
        std::vector<fs::path> files = FileIoInterface::Las::lasFilesIn(input);
        if (files.empty()) {
            throw Core::IOException(input.string() + ": the folder holds no .las or .laz file");
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

std::uint64_t bytesOf(const std::vector<fs::path>& files) {
    std::uint64_t bytes = 0;
    for (const fs::path& file : files) {
        std::error_code error;
        const std::uintmax_t size = fs::file_size(file, error);
        bytes += error ? 0 : size;
    }
    return bytes;
}

/// Reads the headers of an input's files, checks that its points can be paired, and describes it.
/// What the headers say that a reader may doubt goes to `warnings`, or, with `strict`, ends the run.
InputLegs readInput(const fs::path& input, std::vector<fs::path> files, bool strict,
                    InputDescription& description, std::vector<std::string>& warnings) {
    InputLegs legs{std::move(files), {}};
    description.path = input;
    description.files = legs.files;
    for (const fs::path& file : legs.files) {
        LasHeader header = FileIoInterface::Las::readLasHeader(file);
        if (!header.hasGpsTime()) {
            throw Core::IOException(file.string() + ": " + header.describe() +
                                    " has no GPS time, so its points cannot be paired");
        }
        for (const std::string& warning : header.warnings) {
            const std::string located = file.string() + ": " + warning;
            if (strict) {
                throw Core::IOException(located + " (an error with --strict)");
            }
            warnings.push_back(located);
        }
        description.formats.insert(header.describe());
        description.wholeDegreeScanAngles = description.wholeDegreeScanAngles || header.pointFormat < 6;
        const std::string standard =
            header.hasAdjustedStandardGpsTime() ? "adjusted standard GPS time" : "GPS week time";
        description.timeStandard =
            description.timeStandard.empty() || description.timeStandard == standard ? standard : "mixed";
        description.announcedPoints += header.pointCount;
        description.coarsestScale[0] = std::max(description.coarsestScale[0], header.scale.x);
        description.coarsestScale[1] = std::max(description.coarsestScale[1], header.scale.y);
        description.coarsestScale[2] = std::max(description.coarsestScale[2], header.scale.z);
        legs.headers.push_back(std::move(header));
    }
    return legs;
}

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

/// What the engine saw of an input, for the report.
void describeScan(const Engine::InputFacts& facts, std::size_t legs,
                  const std::map<std::uint16_t, std::uint64_t>& pointsBySourceId, InputScan& scan) {
    scan.points = facts.points;
    scan.legs = legs;
    scan.nanTimes = facts.nanTimes;
    scan.duplicateKeys = facts.duplicateKeys;
    scan.inKeyOrder = facts.inKeyOrder;
    scan.pointsBySourceId = pointsBySourceId;
}

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

namespace {

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
        } else if (name != "gpsTime") {
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
    parameters.tolerances.emplace_back("gpsTime", 0.0);
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
    parameters.threads = settings.threads.value_or(std::max(1U, std::thread::hardware_concurrency()));
    parameters.pairByChannel = settings.pairByChannel;
    parameters.failOn = settings.failOn;
    return parameters;
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
    engineOptions.threads = parameters.threads;
    engineOptions.memoryBudget = parameters.memory;
    return engineOptions;
}

} // namespace

Engine::EngineOptions setUpRun(const ComparisonSettings& settings, ComparisonReport& report,
                               const InputLegs& reference, const InputLegs& test) {
    report.parameters = parametersOf(settings, report);
    Engine::EngineOptions engineOptions = engineOptionsOf(report.parameters);
    applyTolerances(settings, report, reference, test, engineOptions, report.parameters);
    return engineOptions;
}

StagedOutputs stageOutputs(OutputTransaction& outputs, const std::optional<fs::path>& jsonFile,
                           const std::optional<fs::path>& htmlFile,
                           const std::optional<fs::path>& outDirectory, bool overwrite) {
    StagedOutputs staged;
    if (jsonFile) {
        staged.json = outputs.stageFile(*jsonFile, "JSON report");
    }
    if (htmlFile) {
        staged.html = outputs.stageFile(*htmlFile, "HTML report");
    }
    if (outDirectory) {
        staged.folder = outputs.stageFolder(*outDirectory, overwrite);
    }
    return staged;
}

void writeReports(const StagedOutputs& staged, const ComparisonReport& report,
                  const std::optional<fs::path>& jsonFile, const std::optional<fs::path>& htmlFile) {
    if (staged.json) {
        writeJsonReport(*staged.json, report, *jsonFile);
    }
    if (staged.html) {
        writeHtmlReport(*staged.html, report, *htmlFile);
    }
}

std::unique_ptr<ClassFiles> makeClassFiles(const fs::path& folder, const InputLegs& reference,
                                           const InputLegs& test, std::vector<std::string>& warnings) {
    ClassFileKind referenceKind = classFileKindOf("reference", reference.headers);
    ClassFileKind testKind = classFileKindOf("test", test.headers);
    for (const ClassFileKind* kind : {&referenceKind, &testKind}) {
        if (kind->conversion) {
            warnings.push_back(*kind->conversion);
        }
    }
    return std::make_unique<ClassFiles>(folder, reference, test, std::move(referenceKind),
                                        std::move(testKind));
}

ComparisonReport runComparison(const CompareOptions& options, std::ostream& out, std::ostream& err) {
    ComparisonReport report;
    std::vector<fs::path> referenceFiles = lasFilesOf(options.reference);
    std::vector<fs::path> testFiles = lasFilesOf(options.test);
    const std::uint64_t inputBytes = bytesOf(referenceFiles) + bytesOf(testFiles);

    // Every output is staged, and so checked, before any input is read.
    std::vector<fs::path> inputs{options.reference, options.test};
    inputs.insert(inputs.end(), referenceFiles.begin(), referenceFiles.end());
    inputs.insert(inputs.end(), testFiles.begin(), testFiles.end());
    OutputTransaction outputs(inputs);
    const StagedOutputs staged =
        stageOutputs(outputs, options.jsonFile, options.htmlFile, options.outDirectory, options.overwrite);
    // The class files hold at most every point of both inputs; the reports are small.
    report.warnings = outputs.roomWarnings(options.outDirectory ? inputBytes : std::uint64_t{8} << 20);

    InputLegs reference = readInput(options.reference, std::move(referenceFiles), options.settings.strict,
                                    report.reference, report.warnings);
    InputLegs test =
        readInput(options.test, std::move(testFiles), options.settings.strict, report.test, report.warnings);

    const Engine::EngineOptions engineOptions = setUpRun(options.settings, report, reference, test);
    RunParameters& parameters = report.parameters;
    if (!options.quiet) {
        printRunHeader(out, report);
    }

    std::unique_ptr<ClassFiles> classFiles;
    if (options.outDirectory) {
        classFiles = makeClassFiles(*staged.folder, reference, test, report.warnings);
    }

    RunGatherer gatherer(options.htmlFile.has_value());
    RunSink sink(gatherer, classFiles.get());
    Progress progress(err, !options.quiet && options.progress.value_or(::isatty(STDERR_FILENO) == 1));
    const char* phase = "indexing";
    const auto showProgress = [&](Engine::Phase current, std::uint64_t done, std::uint64_t total) {
        throwIfInterrupted();
        phase = current == Engine::Phase::indexing ? "indexing" : "comparing";
        progress.update(phase, done, total);
    };
    Engine::ComparisonOutcome outcome;
    try {
        outcome =
            Engine::CompareEngine(engineOptions).compare(reference.files, test.files, sink, showProgress);
    } catch (const std::bad_alloc&) {
        throw std::runtime_error(std::string("out of memory while ") + phase + " " +
                                 options.reference.string() + " and " + options.test.string() +
                                 " within a budget of " + std::to_string(parameters.memory >> 20) +
                                 " MiB; give a smaller --memory, so "
                                 "that the comparison runs in more GPS-time windows");
    }
    progress.finish();

    parameters.windows = outcome.windows;
    report.summary = gatherer.summary();
    report.summary.extraDifferences = outcome.extraDifferenceCounts;
    report.map = gatherer.takeMap();
    if (parameters.pointAttributes) {
        report.summary.attributeDifferences = outcome.differenceCounts.counts;
    }
    describeScan(outcome.reference, reference.files.size(), gatherer.referencePointsBySourceId(),
                 report.reference.scan);
    describeScan(outcome.test, test.files.size(), gatherer.testPointsBySourceId(), report.test.scan);
    warnAboutKeys("reference", outcome.reference, parameters.pairByChannel, report.warnings);
    warnAboutKeys("test", outcome.test, parameters.pairByChannel, report.warnings);
    suggestTimeOffset(reference, test, engineOptions, report);
    report.exitStatus = differs(report.summary.counts, options.settings.failOn) ? 1 : 0;

    if (classFiles) {
        classFiles->finish();
        if (classFiles->unwritten() != 0) {
            report.warnings.push_back(counted(classFiles->unwritten(), "point") +
                                      " did not fit the LAS files of " + options.outDirectory->string() +
                                      " and were left out");
        }
    }
    if (!options.quiet) {
        printAttributeStatistics(out, report);
        printSummary(out, report);
    }
    writeReports(staged, report, options.jsonFile, options.htmlFile);
    throwIfInterrupted();
    outputs.commit();
    return report;
}

int runGuarded(std::ostream& err, const std::function<int()>& command) {
    const InterruptionGuard interruptions;
    try {
        return command();
    } catch (const Interrupted& interruption) {
        err << "orvid-compare: " << interruption.what() << '\n';
        return interruption.status;
    } catch (const std::bad_alloc&) {
        err << "orvid-compare: error: out of memory; give a smaller --memory\n";
    } catch (const std::exception& error) {
        err << "orvid-compare: error: " << error.what() << '\n';
    }
    return 2;
}

} // namespace Orvid::Compare
