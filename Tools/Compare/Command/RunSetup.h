#pragma once

#include "Command/ClassFiles.h"
#include "Command/RunOutputs.h"
#include "Gather/ComparisonReport.h"
#include "Gather/ComparisonSettings.h"
#include "Gather/RunGatherer.h"

#include <CompareEngine/ComparisonOutcome.h>
#include <CompareEngine/EngineOptions.h>
#include <CompareEngine/InputFacts.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <vector>

// The steps of a comparison that a single run and the plan, shard and merge commands share, so that
// together they give what one run gives.
namespace Orvid::Compare {

/// The LAS and LAZ files of an input: the file itself, or the *.las and *.laz files of a folder in name
/// order (subfolders are not searched). Throws Core::IOException naming the input when there is none,
/// and saying so when the folder has subfolders.
std::vector<std::filesystem::path> lasFilesOf(const std::filesystem::path& input);

/// Everything a run reads, which its outputs must never replace (see OutputTransaction): each input as
/// given (a file or a folder), then the files of both.
std::vector<std::filesystem::path> pathsRead(const std::array<std::filesystem::path, 2>& inputs,
                                             const std::array<std::vector<std::filesystem::path>, 2>& files);

/// The bytes of `files` together (those that cannot be told count 0).
std::uint64_t bytesOf(const std::vector<std::filesystem::path>& files);

/// Reads the headers of an input's `files`, checks that its points can be paired, and describes it in
/// `description`; what the headers say that a reader may doubt goes to `warnings` or, with `strict`,
/// throws Core::IOException.
InputLegs readInput(const std::filesystem::path& input, std::vector<std::filesystem::path> files, bool strict,
                    InputDescription& description, std::vector<std::string>& warnings);

/// The files of both inputs, the reference's first.
std::vector<std::filesystem::path>
filesOfBoth(const std::array<std::vector<std::filesystem::path>, 2>& files);

/// Reads both `inputs`, whose files are `files`, as `readInput` does, into the descriptions and
/// warnings of `report`.
std::array<InputLegs, 2> readInputs(const std::array<std::filesystem::path, 2>& inputs,
                                    std::array<std::vector<std::filesystem::path>, 2> files, bool strict,
                                    ComparisonReport& report);

/// Sets `report.parameters` from `settings` for the inputs described in `report` (epsilon from their
/// scales when not given, and an epsilon of 0 as a thousandth of their finest scale factor so that it
/// means the same stored position; memory and threads from this machine when not given; tolerances by
/// what the inputs store) and returns the engine's options for them. Notes in `report.warnings` a
/// cloud compared with itself. Throws std::invalid_argument for a
/// tolerance or ignored name that is neither a point attribute nor an extra attribute of the inputs.
/// Compares the inputs' metadata too, unless `metadata` leaves it to the merge of a run's shards,
/// whose every shard would compare the same headers.
enum class InputMetadata { compared, leftToMerge };
Engine::EngineOptions setUpRun(const ComparisonSettings& settings, ComparisonReport& report,
                               const InputLegs& reference, const InputLegs& test,
                               InputMetadata metadata = InputMetadata::compared);

/// The class files of an --out folder staged at `folder`, in `format` (see `chooseClassFileFormat`),
/// compressed on `threads` threads in all (each writer on its share, at least its caller's); a format
/// conversion they need goes to `warnings`.
std::unique_ptr<ClassFiles> makeClassFiles(const std::filesystem::path& folder, const InputLegs& reference,
                                           const InputLegs& test, std::optional<ClassFileFormat> format,
                                           std::size_t threads, std::vector<std::string>& warnings);

/// What was seen of an input: by the engine, or by the shards of a plan together.
struct ScannedInput {
    Engine::InputFacts facts;
    std::map<std::uint16_t, std::uint64_t> pointsBySourceId;
};

/// Completes `report`, whose summary is set, with what was seen of the inputs (`legs` and `scanned`,
/// reference then test): describes them, warns about their duplicate keys and NaN times, suggests a
/// time offset when fewer than 1 % of the points paired, and sets the exit status.
void completeReport(const std::array<InputLegs, 2>& legs, const std::array<ScannedInput, 2>& scanned,
                    const Engine::EngineOptions& engineOptions, ComparisonReport& report);

/// Completes `report`, whose parameters are set, with the engine's `outcome` and what `gatherer` gathered
/// as the engine decided: the windows, the summary, the map, the inputs as seen (see `completeReport`).
void reportOutcome(const Engine::ComparisonOutcome& outcome, RunGatherer& gatherer,
                   const std::array<InputLegs, 2>& legs, const Engine::EngineOptions& engineOptions,
                   ComparisonReport& report);

/// Ends a run as a single run and a merge both do: warns about the `unwrittenPoints` that did not fit
/// the class files, prints the attribute statistics and the summary to `out` unless `quiet`, writes the
/// reports and moves every output into place.
void finishRun(ComparisonReport& report, std::uint64_t unwrittenPoints, RunOutputs& outputs, bool quiet,
               std::ostream& out);

} // namespace Orvid::Compare
