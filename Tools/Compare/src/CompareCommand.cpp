#include "CompareCommand.h"

#include "Demo.h"
#include "ObservedReader.h"
#include "OutputFolder.h"
#include "Progress.h"
#include "Report/BinningWriter.h"
#include "Report/HtmlReport.h"
#include "ReportLogger.h"

#include <FileIoInterface/Las/LasPoint.h>
#include <FileIoInterface/Las/LasReader.h>
#include <FileIoInterface/MemoryManagement/DefaultStrategy.h>
#include <FileIoInterface/Readers/PointCloud/Comparator.h>

#include <Core/IOException.h>
#include <Core/ReturnStatusError.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <ostream>
#include <system_error>

#include <unistd.h>

namespace Orvid::Compare {
namespace {

namespace fs = std::filesystem;
using FileIoInterface::Las::LasHeader;
using FileIoInterface::Las::LasReader;
using FileIoInterface::Readers::PointCloud::Comparator;

/// The LAS files of an input: the file itself, or the *.las files of a folder in name order.
std::vector<fs::path> lasFilesOf(const fs::path& input) {
    std::error_code error;
    if (fs::is_directory(input, error)) {
        std::vector<fs::path> files = FileIoInterface::Las::lasFilesIn(input);
        if (files.empty()) {
            throw Core::IOException(input.string() + ": the folder holds no .las file");
        }
        return files;
    }
    if (!fs::exists(input, error)) {
        throw Core::IOException(input.string() + ": no such file or folder");
    }
    return {input};
}

/// Opens an input, checks that its points can be paired, and describes it.
std::unique_ptr<LasReader> openInput(const fs::path& input, std::size_t threads,
                                     InputDescription& description) {
    auto reader = std::make_unique<LasReader>(lasFilesOf(input));
    reader->setThreads(threads);
    description.path = input;
    description.files = reader->files();
    description.announcedPoints = reader->numberOfPoints();
    for (std::size_t leg = 0; leg < reader->numberOfLegs(); ++leg) {
        const LasHeader& header = reader->header(leg);
        if (!header.hasGpsTime()) {
            throw Core::IOException(reader->files()[leg].string() + ": " + header.describe() +
                                    " has no GPS time, so its points cannot be paired");
        }
        description.formats.insert(header.describe());
        description.coarsestScale[0] = std::max(description.coarsestScale[0], header.scale.x);
        description.coarsestScale[1] = std::max(description.coarsestScale[1], header.scale.y);
        description.coarsestScale[2] = std::max(description.coarsestScale[2], header.scale.z);
    }
    return reader;
}

/// The extent that the headers of the reader's non-empty legs state.
Extent extentOf(const LasReader& reader) {
    Extent extent;
    for (std::size_t leg = 0; leg < reader.numberOfLegs(); ++leg) {
        const LasHeader& header = reader.header(leg);
        if (header.pointCount != 0) {
            extent.include(Extent{header.min.x, header.min.y, header.max.x, header.max.y});
        }
    }
    return extent;
}

/// Test points per block: as given, or what the memory budget holds of the test files' points.
std::size_t blockCapacity(const CompareOptions& options, const LasReader& test) {
    if (options.capacity) {
        return *options.capacity;
    }
    std::size_t extraValues = 0;
    for (std::size_t leg = 0; leg < test.numberOfLegs(); ++leg) {
        extraValues = std::max(extraValues, test.header(leg).extraAttributes.size());
    }
    FileIoInterface::MemoryManagement::DefaultStrategy strategy;
    strategy.setInternalPointSize(sizeof(FileIoInterface::Las::LasPoint) +
                                  extraValues * sizeof(FileIoInterface::Attribute::Value));
    return std::max<std::size_t>(1, strategy.maximumNumberOfPointsIn(options.memory));
}

/// The metadata of leg `leg` as the reader would return it, for writing points of that leg's kind.
FileIoInterface::LegInformation legOf(const LasReader& reader, std::size_t leg) {
    const LasHeader& header = reader.header(leg);
    const fs::path& file = reader.files()[leg];
    return FileIoInterface::LegInformation(
        file.stem().string(), file, header.systemIdentifier, static_cast<unsigned int>(leg),
        Maths::SpinDirection{}, header.describe(), header.generatingSoftware, header.extraAttributes);
}

void warnAboutKeys(const char* role, const InputDescription& input, std::vector<std::string>& warnings) {
    if (input.scan.duplicateKeys != 0) {
        warnings.push_back(std::string(role) + ": " + counted(input.scan.duplicateKeys, "point") +
                           " share their (GPS time, return number) with an earlier point; their pairing "
                           "is ambiguous");
    }
    if (input.scan.nanTimes != 0) {
        warnings.push_back(std::string(role) + ": " + counted(input.scan.nanTimes, "point") +
                           (input.scan.nanTimes == 1 ? " has" : " have") +
                           " a NaN GPS time; their pairing is unreliable");
    }
}

/// Installs the command's logger for its lifetime.
class LoggerInstallation {
public:
    explicit LoggerInstallation(std::shared_ptr<ReportLogger> logger)
        : mLogger(std::move(logger)) {
        mPrevious = Core::Logging::sLogger;
        Core::Logging::sLogger = mLogger;
    }
    ~LoggerInstallation() { Core::Logging::sLogger = mPrevious; }
    LoggerInstallation(const LoggerInstallation&) = delete;
    LoggerInstallation& operator=(const LoggerInstallation&) = delete;

private:
    std::shared_ptr<ReportLogger> mLogger;
    std::weak_ptr<Core::Logging::Logger> mPrevious;
};

} // namespace

ComparisonReport runComparison(const CompareOptions& options, std::ostream& out, std::ostream& err) {
    ComparisonReport report;
    std::unique_ptr<LasReader> referenceReader =
        openInput(options.reference, options.threads, report.reference);
    std::unique_ptr<LasReader> testReader = openInput(options.test, options.threads, report.test);
    std::optional<HtmlReportFile> html;
    if (options.htmlFile) {
        html.emplace(*options.htmlFile);
    }

    RunParameters& parameters = report.parameters;
    parameters.epsilonFromScale = !options.epsilon;
    parameters.epsilon = options.epsilon.value_or(std::max(
        *std::max_element(report.reference.coarsestScale.begin(), report.reference.coarsestScale.end()),
        *std::max_element(report.test.coarsestScale.begin(), report.test.coarsestScale.end())));
    parameters.rgbEpsilon = options.rgbEpsilon;
    parameters.pointAttributes = options.pointAttributes;
    parameters.extraAttributes = options.extraAttributes;
    parameters.capacity = blockCapacity(options, *testReader);
    parameters.failOn = options.failOn;

    if (!options.quiet) {
        out << "Reference: " << options.reference.string() << " ("
            << counted(referenceReader->numberOfLegs(), "leg") << ", "
            << counted(referenceReader->numberOfPoints(), "point")
            << ")\nTest:      " << options.test.string() << " (" << counted(testReader->numberOfLegs(), "leg")
            << ", " << counted(testReader->numberOfPoints(), "point")
            << ")\nEpsilon:   " << parameters.epsilon
            << (parameters.epsilonFromScale ? " (the coarser coordinate scale factor)" : "") << ", block of "
            << parameters.capacity << " test points\n";
    }

    const auto logger = std::make_shared<ReportLogger>(out, err, options.quiet);
    const LoggerInstallation installation(logger);
    Progress progress(err, !options.quiet && options.progress.value_or(::isatty(STDERR_FILENO) == 1));
    if (options.htmlFile) {
        Extent extent = extentOf(*referenceReader);
        extent.include(extentOf(*testReader));
        if (extent.valid()) {
            report.map.emplace(extent);
        }
    }
    ObservedReader reference(*referenceReader, progress, "reference",
                             report.map ? &report.map->reference : nullptr);
    ObservedReader test(*testReader, progress, "test     ");

    std::unique_ptr<OutputFolder> output;
    if (options.outDirectory) {
        const auto& scale = testReader->header(0).scale;
        output = std::make_unique<OutputFolder>(*options.outDirectory, scale);
    }

    Comparator::Options comparisonOptions;
    if (options.pointAttributes) {
        comparisonOptions.set(Comparator::pointAttributes);
    }
    if (options.extraAttributes) {
        comparisonOptions.set(Comparator::extraAttributes);
    }
    FileIoInterface::Outputs::PointCloud::PointCloudWriter* modifiedWriter =
        output ? &output->modifiedWriter() : nullptr;
    // The comparator replaces the coordinates of a modified point with its displacement right after
    // writing it: the map takes the position there.
    std::optional<BinningWriter> modifiedBinning;
    if (report.map) {
        modifiedWriter = &modifiedBinning.emplace(report.map->of(DifferenceClass::modified), modifiedWriter);
    }
    const Comparator comparator(reference, test, output ? &output->displacementWriter() : nullptr,
                                modifiedWriter, parameters.capacity, parameters.epsilon, comparisonOptions,
                                parameters.rgbEpsilon);
    progress.finish();

    report.reference.scan = reference.finish();
    report.test.scan = test.finish();
    report.summary = summarize(comparator, report.map ? &*report.map : nullptr);
    report.summary.attributeDifferences = logger->attributeDifferences();
    warnAboutKeys("reference", report.reference, report.warnings);
    warnAboutKeys("test", report.test, report.warnings);
    report.exitStatus = differs(report.summary.counts, options.failOn) ? 1 : 0;

    if (output) {
        const FileIoInterface::LegInformation referenceLeg = legOf(*referenceReader, 0);
        const FileIoInterface::LegInformation testLeg = legOf(*testReader, 0);
        std::uint64_t unwritten =
            output->writeClass(DifferenceClass::removed, comparator.getRemoved(), referenceLeg);
        unwritten += output->writeClass(DifferenceClass::added, comparator.getAdded(), testLeg);
        unwritten += output->writeClass(DifferenceClass::mutated, comparator.getMutated(), testLeg);
        unwritten += output->writeClass(DifferenceClass::altered, comparator.getAltered(), testLeg);
        if (unwritten != 0) {
            report.warnings.push_back(counted(unwritten, "point") + " did not fit the LAS files of " +
                                      output->folder().string() + " and were left out");
        }
    }
    if (!options.quiet) {
        printSummary(out, report);
    }
    if (options.jsonFile) {
        writeJsonReport(*options.jsonFile, report);
    }
    if (html) {
        html->write(report);
    }
    // Last, so that a report that could not be written leaves no fresh outputs beside it.
    if (output) {
        output->commit();
    }
    return report;
}

int runCommand(const CompareOptions& options, std::ostream& out, std::ostream& err) {
    try {
        if (options.demo) {
            return runDemo(options, out, err);
        }
        return runComparison(options, out, err).exitStatus;
    } catch (const std::exception& error) {
        err << "orvid-compare: error: " << error.what() << '\n';
    }
    return 2;
}

} // namespace Orvid::Compare
