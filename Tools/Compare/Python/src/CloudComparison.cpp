#include "CloudComparison.h"

#include "Command/ComparisonArguments.h"
#include "Command/InputSnapshot.h"
#include "Command/Interruption.h"
#include "Command/RunSetup.h"
#include "Render/JsonReport.h"
#include "Render/TextSummary.h"

#include <CompareEngine/CompareEngine.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace Orvid::Compare::Python {
namespace {

namespace fs = std::filesystem;

/// The settings that the comparison flags `flags` give, read as the command reads them.
ComparisonSettings settingsOf(const std::vector<std::string>& flags) {
    CLI::App app;
    const ComparisonFlags comparisonFlags(app);
    try {
        // CLI11 takes the arguments last first.
        app.parse(std::vector<std::string>(flags.rbegin(), flags.rend()));
        return comparisonFlags.read();
    } catch (const CLI::Error& error) {
        throw std::invalid_argument(error.what());
    }
}

} // namespace

CloudComparison compareClouds(const fs::path& reference, const fs::path& test,
                              const std::vector<std::string>& flags) {
    const ComparisonSettings settings = settingsOf(flags);
    std::array<std::vector<fs::path>, 2> files{lasFilesOf(reference), lasFilesOf(test)};
    const InputSnapshot inputsAtStart(filesOfBoth(files));

    CloudComparison comparison;
    ComparisonReport& report = comparison.report;
    const std::array<InputLegs, 2> legs =
        readInputs({reference, test}, std::move(files), settings.strict, report);
    const Engine::EngineOptions engineOptions = setUpRun(settings, report, legs[0], legs[1]);

    RunGatherer gatherer(false);
    ClassPointSink sink(gatherer);
    const auto stopWhenInterrupted = [](Engine::Phase, std::uint64_t, std::uint64_t) {
        throwIfInterrupted();
    };
    const Engine::ComparisonOutcome outcome =
        Engine::CompareEngine(engineOptions).compare(legs[0].files, legs[1].files, sink, stopWhenInterrupted);
    reportOutcome(outcome, gatherer, legs, engineOptions, report);
    inputsAtStart.checkUnchanged();
    for (const DifferenceClass kind : ALL_DIFFERENCE_CLASSES) {
        comparison.points[static_cast<std::size_t>(kind)] = std::move(sink.points(kind));
    }
    return comparison;
}

std::string jsonReportOf(const ComparisonReport& report) {
    std::ostringstream json;
    writeJsonReport(json, report);
    return json.str();
}

std::string textSummaryOf(const ComparisonReport& report) {
    std::ostringstream text;
    printAttributeStatistics(text, report);
    printSummary(text, report);
    return text.str();
}

} // namespace Orvid::Compare::Python
