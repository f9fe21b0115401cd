#pragma once

#include "Command/ClassFiles.h"
#include "Command/CommandLine.h"
#include "Command/OutputTransaction.h"
#include "Gather/ComparisonReport.h"

#include <CompareEngine/EngineOptions.h>
#include <CompareEngine/InputFacts.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The steps of a comparison that a single run and the plan, shard and merge commands share, so that
// together they give what one run gives. Defined in CompareCommand.cpp.
namespace Orvid::Compare {

/// The LAS files of an input: the file itself, or the *.las files of a folder in name order. Throws
/// Core::IOException naming the input when there is none.
std::vector<std::filesystem::path> lasFilesOf(const std::filesystem::path& input);

/// The bytes of `files` together (those that cannot be told count 0).
std::uint64_t bytesOf(const std::vector<std::filesystem::path>& files);

/// Reads the headers of an input's `files`, checks that its points can be paired, and describes it in
/// `description`; what the headers say that a reader may doubt goes to `warnings` or, with `strict`,
/// throws Core::IOException.
InputLegs readInput(const std::filesystem::path& input, std::vector<std::filesystem::path> files, bool strict,
                    InputDescription& description, std::vector<std::string>& warnings);

/// Fills `scan` with what the engine saw of an input.
void describeScan(const Engine::InputFacts& facts, std::size_t legs,
                  const std::map<std::uint16_t, std::uint64_t>& pointsBySourceId, InputScan& scan);

/// Adds the warnings about an input's duplicate keys and NaN times; `role` is "reference" or "test".
void warnAboutKeys(const char* role, const Engine::InputFacts& facts, bool pairByChannel,
                   std::vector<std::string>& warnings);

/// Sets `report.parameters` from `settings` for the inputs described in `report` (epsilon from their
/// scales when not given; memory and threads from this machine when not given; tolerances by what the
/// inputs store) and returns the engine's options for them. Throws std::invalid_argument for a
/// tolerance or ignored name that is neither a point attribute nor an extra attribute of the inputs.
Engine::EngineOptions setUpRun(const ComparisonSettings& settings, ComparisonReport& report,
                               const InputLegs& reference, const InputLegs& test);

/// When fewer than 1 % of the points of the run described in `report` paired, estimates the constant
/// offset between the inputs' times from a sample; a non-zero one goes to the report with the option
/// that applies it.
void suggestTimeOffset(const InputLegs& reference, const InputLegs& test,
                       const Engine::EngineOptions& engineOptions, ComparisonReport& report);

/// A run's report files and class-file folder, each staged while the run lasts (absent: not asked for).
struct StagedOutputs {
    std::optional<std::filesystem::path> json;
    std::optional<std::filesystem::path> html;
    std::optional<std::filesystem::path> folder;
};

/// Stages in `outputs`, which checks them, the JSON and HTML reports and the class-file folder asked for.
StagedOutputs stageOutputs(OutputTransaction& outputs, const std::optional<std::filesystem::path>& jsonFile,
                           const std::optional<std::filesystem::path>& htmlFile,
                           const std::optional<std::filesystem::path>& outDirectory, bool overwrite);

/// Writes `report` into the staged JSON and HTML files; `jsonFile` and `htmlFile` are the names they
/// are known by.
void writeReports(const StagedOutputs& staged, const ComparisonReport& report,
                  const std::optional<std::filesystem::path>& jsonFile,
                  const std::optional<std::filesystem::path>& htmlFile);

/// The class files of an --out folder staged at `folder`; a format conversion they need goes to
/// `warnings`.
std::unique_ptr<ClassFiles> makeClassFiles(const std::filesystem::path& folder, const InputLegs& reference,
                                           const InputLegs& test, std::vector<std::string>& warnings);

} // namespace Orvid::Compare
