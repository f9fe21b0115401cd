#pragma once

#include "Command/CommandLine.h"
#include "Gather/ComparisonReport.h"

#include <SyntheticSurvey/SurveyGenerator.h>

#include <filesystem>
#include <iosfwd>
#include <vector>

namespace Orvid::Compare {

/// A generated survey on disk: a reference and a test copy with known changes, as LAS legs.
struct DemoSurvey {
    std::filesystem::path folder;
    std::filesystem::path reference;
    std::filesystem::path test;
    SyntheticSurvey::PlantedChanges planted;
};

/// Writes the survey that `parameters` describe (the reference when `plan` is empty) as LAS 1.4 legs
/// "leg-<n>.las" of point format 7, at 1 cm, into `folder`; returns the changes planted in each leg.
/// Throws Core::IOException when a file cannot be written.
std::vector<SyntheticSurvey::PlantedChanges>
writeSurveyAsLas(const std::filesystem::path& folder, const SyntheticSurvey::SurveyParameters& parameters,
                 const SyntheticSurvey::ChangePlan& plan);

/// Writes three legs of about 100 000 points each, and a copy with moved, reclassified, altered,
/// removed and added points, into `folder`/reference and `folder`/test (a new temporary folder when
/// `folder` is empty). Throws Core::IOException when a file cannot be written.
DemoSurvey writeDemoSurvey(std::filesystem::path folder);

/// The demo's survey and the comparison to run on it.
struct DemoRun {
    DemoSurvey survey;
    CompareOptions options;
};

/// Writes the demo survey (into the options' demo folder, or a temporary one) and returns the
/// comparison to run: into `folder`/differences, `folder`/report.json and `folder`/report.html unless
/// the options name other places. Says what it made on `out` unless quiet.
DemoRun prepareDemo(const CompareOptions& options, std::ostream& out);

/// Checks that the comparison `report` of the demo found exactly the planted changes, and says so
/// unless quiet: 0 when it did, 1 when not.
int checkDemo(const DemoRun& demo, const ComparisonReport& report, std::ostream& out, std::ostream& err);

} // namespace Orvid::Compare
