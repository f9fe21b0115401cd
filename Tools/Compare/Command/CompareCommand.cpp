#include "Command/CompareCommand.h"

#include "Command/ClassFiles.h"
#include "Command/InputSnapshot.h"
#include "Command/Interruption.h"
#include "Command/Progress.h"
#include "Command/RoomCheck.h"
#include "Command/RunOutputs.h"
#include "Command/RunSetup.h"
#include "Command/RunSink.h"
#include "Command/ShrunkInputGuard.h"
#include "Gather/RunGatherer.h"
#include "Render/TextSummary.h"

#include <CompareEngine/CompareEngine.h>

#include <array>
#include <memory>
#include <new>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

namespace Orvid::Compare {
namespace {

namespace fs = std::filesystem;

/// Compares the inputs' `legs` into `sink`, with a progress bar on `err` unless `options` say
/// otherwise. Out of memory, throws std::runtime_error saying where, and how to stay within the budget.
Engine::ComparisonOutcome compareInputs(const CompareOptions& options, const std::array<InputLegs, 2>& legs,
                                        const Engine::EngineOptions& engineOptions, RunSink& sink,
                                        std::ostream& err) {
    Progress progress(err, !options.quiet && options.progress.value_or(::isatty(STDERR_FILENO) == 1));
    const char* phase = "indexing";
    const auto showProgress = [&](Engine::Phase current, std::uint64_t done, std::uint64_t total) {
        throwIfInterrupted();
        phase = phaseLabel(current);
        progress.update(phase, done, total);
    };
    Engine::ComparisonOutcome outcome;
    try {
        outcome =
            Engine::CompareEngine(engineOptions).compare(legs[0].files, legs[1].files, sink, showProgress);
    } catch (const std::bad_alloc&) {
        throw std::runtime_error(std::string("out of memory while ") + phase + " " +
                                 options.reference.string() + " and " + options.test.string() +
                                 " within a budget of " + std::to_string(engineOptions.memoryBudget >> 20) +
                                 " MiB; give a smaller --memory, so "
                                 "that the comparison runs in more GPS-time windows");
    }
    progress.finish();
    return outcome;
}

} // namespace

ComparisonReport runComparison(const CompareOptions& options, std::ostream& out, std::ostream& err) {
    const std::array<fs::path, 2> inputs{options.reference, options.test};
    std::array<std::vector<fs::path>, 2> files{lasFilesOf(options.reference), lasFilesOf(options.test)};
    const InputSnapshot inputsAtStart(filesOfBoth(files));

    // Every output is staged, and so checked, before any input is read.
    RunOutputs outputs(pathsRead(inputs, files), options.jsonFile, options.htmlFile, options.outDirectory,
                       options.overwrite);
    ComparisonReport report;
    const bool strict = options.settings.strict;
    const std::array<InputLegs, 2> legs = readInputs(inputs, std::move(files), strict, report);
    checkRoom(
        legs, [&outputs](std::uint64_t bytes) { return outputs.roomWarnings(bytes); }, strict, options.quiet,
        err, report.warnings);
    const Engine::EngineOptions engineOptions = setUpRun(options.settings, report, legs[0], legs[1]);
    if (!options.quiet) {
        printRunHeader(out, report);
    }
    std::unique_ptr<ClassFiles> classFiles;
    if (outputs.classFileFolder()) {
        classFiles = makeClassFiles(*outputs.classFileFolder(), legs[0], legs[1], options.settings.outFormat,
                                    report.parameters.threads, report.warnings);
    }

    const ShrunkInputGuard shrinking(inputsAtStart, outputs.madePaths());
    RunGatherer gatherer(options.htmlFile.has_value());
    RunSink sink(gatherer, classFiles.get());
    const Engine::ComparisonOutcome outcome = compareInputs(options, legs, engineOptions, sink, err);
    reportOutcome(outcome, gatherer, legs, engineOptions, report);
    std::uint64_t unwrittenPoints = 0;
    if (classFiles) {
        classFiles->finish();
        unwrittenPoints = classFiles->unwritten();
    }
    inputsAtStart.checkUnchanged();
    finishRun(report, unwrittenPoints, outputs, options.quiet, out);
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
