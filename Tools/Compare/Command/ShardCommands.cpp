#include "Command/ShardCommands.h"

#include "Command/ClassFiles.h"
#include "Command/InputSnapshot.h"
#include "Command/Interruption.h"
#include "Command/OutputTransaction.h"
#include "Command/PartitionWriter.h"
#include "Command/PartsInput.h"
#include "Command/Progress.h"
#include "Command/RoomCheck.h"
#include "Command/RunOutputs.h"
#include "Command/RunRouter.h"
#include "Command/RunSetup.h"
#include "Command/RunSink.h"
#include "Command/ShrunkInputGuard.h"
#include "Render/TextSummary.h"
#include "Shard/EmptyShards.h"
#include "Shard/PartitionSet.h"
#include "Shard/ShardPlan.h"
#include "Shard/ShardReport.h"

#include <CompareEngine/CompareEngine.h>
#include <CompareEngine/InputShares.h>
#include <CompareEngine/ShardPlanner.h>
#include <CompareEngine/SharePartition.h>
#include <Core/IOException.h>
#include <FileIoInterface/Las/LasConcatenation.h>
#include <FileIoInterface/Las/LasReader.h>

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <utility>

#include <unistd.h>

namespace Orvid::Compare {
namespace {

namespace fs = std::filesystem;
using Engine::PointClass;
using FileIoInterface::Las::canConcatenateLasFiles;
using FileIoInterface::Las::concatenateLasFiles;
using FileIoInterface::Las::LasPoint;
using FileIoInterface::Las::LasReader;

/// Records between two updates of a partition's progress, less one (a mask).
constexpr std::uint64_t PROGRESS_STRIDE = (std::uint64_t{1} << 16) - 1;

/// Both inputs of a plan read as a run reads them: described in `report`, their headers' warnings in
/// `report.warnings`, the files as the plan lists them.
std::array<InputLegs, 2> readPlannedInputs(const ShardPlan& plan, ComparisonReport& report) {
    std::array<InputLegs, 2> legs =
        readInputs({plan.inputs[0].path, plan.inputs[1].path}, {plan.openable(0), plan.openable(1)},
                   plan.settings.strict, report);
    report.reference.files = plan.inputs[0].files;
    report.test.files = plan.inputs[1].files;
    return legs;
}

/// The files of both inputs of `plan`, as they can be opened from here.
std::vector<fs::path> plannedFiles(const ShardPlan& plan) {
    return filesOfBoth({plan.openable(0), plan.openable(1)});
}

/// Everything a shard or a merge of `plan` reads: the plan file, the inputs as given and their files.
std::vector<fs::path> pathsReadBy(const ShardPlan& plan, const fs::path& planFile) {
    std::vector<fs::path> paths =
        pathsRead({plan.openable(plan.inputs[0].path), plan.openable(plan.inputs[1].path)},
                  {plan.openable(0), plan.openable(1)});
    paths.push_back(planFile);
    return paths;
}

/// A shard's report and the folder that holds it.
struct FoundShard {
    ShardReport report;
    fs::path folder;
};

/// The shard reports in `folders`, in shard order, after checking that they are the plan's shards, each
/// once.
std::vector<FoundShard> readShards(const ShardPlan& plan, const fs::path& planFile,
                                   const std::vector<fs::path>& folders, bool withMaps) {
    std::vector<std::optional<ShardReport>> byIndex(plan.shards.size());
    std::vector<fs::path> foundIn(plan.shards.size());
    for (const fs::path& folder : folders) {
        ShardReport report = readShardReport(folder / SHARD_REPORT_NAME, withMaps);
        if (report.plan != plan.id || report.shards != plan.shards.size()) {
            throw Core::IOException(folder.string() + ": a shard of another plan (" + report.plan + ", not " +
                                    plan.id + " of " + planFile.string() + ")");
        }
        if (report.shard >= plan.shards.size()) {
            throw Core::IOException(folder.string() + ": shard " + std::to_string(report.shard) +
                                    " is not one of the plan's " + std::to_string(plan.shards.size()));
        }
        if (byIndex[report.shard]) {
            throw Core::IOException(folder.string() + ": shard " + std::to_string(report.shard) +
                                    " again, already given as " + foundIn[report.shard].string());
        }
        foundIn[report.shard] = folder;
        byIndex[report.shard] = std::move(report);
    }
    std::vector<FoundShard> shards;
    for (std::size_t shard = 0; shard < byIndex.size(); ++shard) {
        if (!byIndex[shard]) {
            throw Core::IOException(planFile.string() + ": shard " + std::to_string(shard) + " of " +
                                    std::to_string(plan.shards.size()) +
                                    " is missing from the folders given");
        }
        shards.push_back({std::move(*byIndex[shard]), foundIn[shard]});
    }
    return shards;
}

/// Hands the points of the class files of one shard's folder to `classFiles`, class by class, in the
/// order the shard wrote them: what the shard decided, replayed.
void replayClassFiles(const fs::path& folder, ClassFiles& classFiles) {
    LasPoint point;
    for (const DifferenceClass kind : {DifferenceClass::removed, DifferenceClass::added,
                                       DifferenceClass::mutated, DifferenceClass::altered}) {
        const fs::path classFolder = folder / std::string(nameOf(kind));
        if (!fs::exists(classFolder)) {
            continue;
        }
        const std::vector<fs::path> files = FileIoInterface::Las::lasFilesIn(classFolder);
        Engine::Decision decision;
        const bool removed = kind == DifferenceClass::removed;
        decision.pointClass = removed                            ? PointClass::removed
                              : kind == DifferenceClass::added   ? PointClass::added
                              : kind == DifferenceClass::mutated ? PointClass::mutated
                                                                 : PointClass::altered;
        (removed ? decision.referencePoint : decision.testPoint) = &point;
        LasReader reader(files);
        while (reader.hasMoreLegs()) {
            reader.nextLeg();
            while (reader.hasMorePoints()) {
                reader.readPoint(point);
                classFiles.decided(decision);
            }
        }
    }
    // Modified points and their displacements: one file per test leg each, in step; none when the
    // shard modified no point.
    if (!fs::exists(folder / "modified")) {
        return;
    }
    LasReader modified(FileIoInterface::Las::lasFilesIn(folder / "modified"));
    LasReader displacements(FileIoInterface::Las::lasFilesIn(folder / "displacement"));
    LasPoint displaced;
    Engine::Decision decision;
    decision.pointClass = PointClass::modified;
    decision.testPoint = &point;
    for (std::uint32_t leg = 0; modified.hasMoreLegs(); ++leg) {
        if (!displacements.hasMoreLegs()) {
            throw Core::IOException((folder / "displacement").string() + ": fewer legs than modified/ has");
        }
        modified.nextLeg();
        displacements.nextLeg();
        decision.test.leg = leg;
        while (modified.hasMorePoints()) {
            if (!displacements.hasMorePoints()) {
                throw Core::IOException(displacements.files()[leg].string() +
                                        ": fewer points than its modified/ leg has");
            }
            modified.readPoint(point);
            displacements.readPoint(displaced);
            decision.displacement = {displaced.getX(), displaced.getY(), displaced.getZ()};
            classFiles.decided(decision);
        }
    }
}

/// Per class file of the shards' folders (relative path), the shards' files of that name in shard order.
std::map<fs::path, std::vector<fs::path>> classFileSets(const std::vector<FoundShard>& shards) {
    std::map<fs::path, std::vector<fs::path>> sets;
    for (const FoundShard& shard : shards) {
        for (const auto& entry : fs::recursive_directory_iterator(shard.folder)) {
            const fs::path extension = entry.path().extension();
            if (entry.is_regular_file() && (extension == ".las" || extension == ".laz")) {
                sets[fs::relative(entry.path(), shard.folder)].push_back(entry.path());
            }
        }
    }
    return sets;
}

/// Writes the class files of the shards into `folder`: each file the concatenation of the shards'
/// files of its name, which needs no decoding; or, where the shards' files are not alike (which a
/// writer of another kind could make them), every point replayed through `classFiles`. Returns the
/// points that did not fit.
std::uint64_t mergeClassFiles(const std::vector<FoundShard>& shards, const fs::path& folder,
                              ClassFiles& classFiles) {
    const std::map<fs::path, std::vector<fs::path>> sets = classFileSets(shards);
    const bool byBytes = std::all_of(sets.begin(), sets.end(),
                                     [](const auto& set) { return canConcatenateLasFiles(set.second); });
    if (!byBytes) {
        for (const FoundShard& shard : shards) {
            replayClassFiles(shard.folder, classFiles);
        }
        classFiles.finish();
        return classFiles.unwritten();
    }
    for (const auto& [name, parts] : sets) {
        fs::create_directories((folder / name).parent_path());
        concatenateLasFiles(parts, folder / name);
    }
    return 0;
}

/// The totals of the shards together. Throws Core::IOException naming the shard's report whose totals
/// do not add up with the others'.
ShardTotals addedUp(const std::vector<FoundShard>& shards) {
    ShardTotals totals;
    for (const FoundShard& shard : shards) {
        try {
            totals += shard.report.totals;
        } catch (const std::invalid_argument& error) {
            throw Core::IOException((shard.folder / SHARD_REPORT_NAME).string() + ": " + error.what());
        }
    }
    return totals;
}

/// The index of a shard or partition (`what`) that `asked` gives, of the `count` of the plan in
/// `planFile`. Throws Core::IOException saying which are the plan's.
std::size_t indexAskedFor(const fs::path& planFile, std::size_t count, std::int64_t asked, const char* what) {
    if (asked < 0 || static_cast<std::uint64_t>(asked) >= count) {
        throw Core::IOException(planFile.string() + ": has " + counted(count, what) + ", so the " + what +
                                " must be a number from 0 to " + std::to_string(count - 1) + ", not " +
                                std::to_string(asked));
    }
    return static_cast<std::size_t>(asked);
}

/// The progress bar that `progress` (unset: when standard error is a terminal) and `quiet` ask for.
Progress progressOn(std::ostream& err, bool quiet, std::optional<bool> progress) {
    return Progress(err, !quiet && progress.value_or(::isatty(STDERR_FILENO) == 1));
}

/// Refuses a shard's folder that holds the result of another shard, or of another plan, which the run
/// would replace; the shard's own earlier result may be replaced, so that a failed shard can run again.
void checkShardFolder(const fs::path& folder, const ShardPlan& plan, std::size_t shard) {
    std::error_code error;
    if (!fs::exists(folder / SHARD_REPORT_NAME, error)) {
        return;
    }
    const ShardReport earlier = readShardReport(folder / SHARD_REPORT_NAME, false);
    if (earlier.plan != plan.id || earlier.shard != shard) {
        throw std::runtime_error(folder.string() + ": holds the result of shard " +
                                 std::to_string(earlier.shard) + " of plan " + earlier.plan +
                                 "; give every shard a folder of its own");
    }
}

} // namespace

void runPlan(const PlanOptions& options, std::ostream& out) {
    ShardPlan plan;
    plan.workingDirectory = fs::current_path();
    plan.settings = options.settings;
    const fs::path given[2] = {options.reference, options.test};
    std::vector<fs::path> inputs{given[0], given[1]};
    for (std::size_t side = 0; side < 2; ++side) {
        PlannedInput& input = plan.inputs[side];
        input.path = given[side];
        input.files = lasFilesOf(given[side]);
        for (const fs::path& file : input.files) {
            input.identities.push_back(identityOf(file));
        }
        inputs.insert(inputs.end(), input.files.begin(), input.files.end());
    }
    // The plan's folder is made, so that a recipe may name a plan in a folder of its own.
    if (options.planFile.has_parent_path()) {
        fs::create_directories(options.planFile.parent_path());
    }
    OutputTransaction outputs(inputs);
    const fs::path staged = outputs.stageFile(options.planFile, "plan");

    // The headers are checked as a run checks them, so that a plan is made only for inputs that compare.
    ComparisonReport report;
    const std::array<InputLegs, 2> legs = readPlannedInputs(plan, report);
    // So are the tolerances' names, so that no shard fails on them.
    setUpRun(options.settings, report, legs[0], legs[1]);
    if (report.parameters.pairedByPosition) {
        // Shards are cut by GPS time, which these inputs do not have.
        throw std::invalid_argument(report.parameters.pairedByPositionBecause +
                                    ": the points pair by position, and GPS-time shards cannot cut them; "
                                    "compare these inputs in one run");
    }
    plan.shards = Engine::planShards(plan.openable(0), plan.openable(1), options.shards);
    for (std::size_t side = 0; side < 2; ++side) {
        plan.inputs[side].shares = Engine::planInputShares(plan.openable(side), options.shards);
    }
    if (const std::optional<std::string> warning = emptyShardsWarning(plan.shards)) {
        report.warnings.push_back(*warning);
    }
    plan.id = planIdOf(plan);
    writeShardPlan(staged, plan, options.planFile);
    outputs.commit();
    if (!options.quiet) {
        for (const std::string& warning : report.warnings) {
            out << "warning: " << warning << '\n';
        }
        out << "Plan " << plan.id << ": " << counted(plan.shards.size(), "shard") << " of "
            << counted(report.reference.announcedPoints + report.test.announcedPoints, "point") << " in "
            << options.planFile.string() << '\n';
        for (std::size_t shard = 0; shard < plan.shards.size(); ++shard) {
            const bool nanTimes =
                plan.shards[shard].windows.back().nanTimes && plan.shards[shard].windows.size() == 1;
            out << "  shard " << shard << ": about " << counted(plan.shards[shard].points, "point")
                << (nanTimes ? " (NaN times)" : "") << '\n';
        }
    }
}

void runPartition(const PartitionOptions& options, std::ostream& out, std::ostream& err) {
    const ShardPlan plan = readShardPlan(options.planFile);
    const std::size_t shards = plan.shards.size();
    const std::size_t index = indexAskedFor(options.planFile, shards, options.partition, "partition");
    if (plan.inputs[0].shares.size() != shards || plan.inputs[1].shares.size() != shards) {
        throw Core::IOException(options.planFile.string() +
                                ": the plan has no shares to partition (it was made before partitions were "
                                "planned): make it again");
    }
    checkInputsUnchanged(plan);
    Engine::ShareRouting routing;
    routing.byChannel = plan.settings.pairByChannel;
    for (const Engine::PlannedShard& shard : plan.shards) {
        routing.shards.push_back(shard.windows);
    }
    const InputSnapshot inputsAtStart(plannedFiles(plan));
    PartitionWriter writer(options.partsDirectory, index, shards);
    const ShrunkInputGuard shrinking(inputsAtStart, {{writer.partialFolder()}, {}});
    PartitionFacts facts{plan.id, index, shards, {}, {}};
    RunRouter router(writer, shards);
    std::uint64_t total = 0;
    for (const PlannedInput& input : plan.inputs) {
        for (const Engine::SharePiece& piece : input.shares[index]) {
            total += piece.count;
        }
    }
    Progress progress = progressOn(err, options.quiet, options.progress);
    std::uint64_t done = 0;
    for (std::size_t side = 0; side < 2; ++side) {
        const std::vector<fs::path> legs = plan.openable(side);
        router.startInput(side, legs.size());
        // The test's times are shifted as the comparison shifts them, so that its keys fall in its windows.
        routing.timeOffset = side == 1 ? plan.settings.timeOffset : 0.0;
        const auto route = [&](const Engine::RoutedRecord& record) {
            router.route(record);
            if ((++done & PROGRESS_STRIDE) == 0) {
                throwIfInterrupted();
                progress.update("partitioning", done, total);
            }
        };
        facts.shares[side] = Engine::partitionShare(legs, plan.inputs[side].shares[index], routing, route);
    }
    progress.update("partitioning", done, total);
    progress.finish();
    checkInputsUnchanged(plan);
    throwIfInterrupted();
    router.describe(facts);
    writer.commit(facts);
    if (!options.quiet) {
        out << "Partition " << index << " of " << shards << ": " << counted(done, "point") << " in "
            << writer.folder().string() << '\n';
    }
}

void runShard(const ShardOptions& options, std::ostream& out, std::ostream& err) {
    const ShardPlan plan = readShardPlan(options.planFile);
    const std::size_t index = indexAskedFor(options.planFile, plan.shards.size(), options.shard, "shard");
    checkInputsUnchanged(plan);
    const InputSnapshot inputsAtStart(plannedFiles(plan));
    std::vector<fs::path> read = pathsReadBy(plan, options.planFile);
    if (options.partsDirectory) {
        read.push_back(*options.partsDirectory);
    }
    OutputTransaction outputs(read);
    const fs::path folder = outputs.stageFolder(options.outDirectory, false);
    checkShardFolder(options.outDirectory, plan, index);

    ComparisonReport report;
    std::array<InputLegs, 2> legs = readPlannedInputs(plan, report);
    checkRoom(
        legs, [&outputs](std::uint64_t bytes) { return outputs.roomWarnings(bytes); }, plan.settings.strict,
        options.quiet, err, report.warnings);
    // The merge compares the inputs' metadata, once for all shards.
    const Engine::EngineOptions engineOptions =
        setUpRun(plan.settings, report, legs[0], legs[1], InputMetadata::leftToMerge);
    std::unique_ptr<ClassFiles> classFiles = makeClassFiles(folder, legs[0], legs[1], plan.settings.outFormat,
                                                            report.parameters.threads, report.warnings);
    const ShrunkInputGuard shrinking(inputsAtStart, outputs.madePaths());
    // Every shard sees the facts of the whole inputs, read or added up over the partitions, so their maps
    // share the frame of the points read and add up.
    RunGatherer gatherer(true);
    RunSink sink(gatherer, classFiles.get());
    Progress progress = progressOn(err, options.quiet, options.progress);
    const auto showProgress = [&](Engine::Phase phase, std::uint64_t done, std::uint64_t total) {
        throwIfInterrupted();
        progress.update(phaseLabel(phase), done, total);
    };
    const Engine::CompareEngine engine(engineOptions);
    const std::vector<Engine::Window>& windows = plan.shards[index].windows;
    const Engine::ComparisonOutcome outcome =
        options.partsDirectory
            ? engine.compare(partsOfShard(plan, options.planFile, *options.partsDirectory, index, legs), sink,
                             showProgress, windows)
            : engine.compare(legs[0].files, legs[1].files, sink, showProgress, windows);
    progress.finish();
    classFiles->finish();

    ShardReport shard;
    shard.plan = plan.id;
    shard.shard = index;
    shard.shards = plan.shards.size();
    shard.totals = totalsOf(gatherer, outcome, gatherer.takeMap(), classFiles->unwritten());
    shard.warnings = report.warnings;
    inputsAtStart.checkUnchanged();
    writeShardReport(folder / SHARD_REPORT_NAME, shard, options.outDirectory / SHARD_REPORT_NAME);
    throwIfInterrupted();
    outputs.commit();
    if (!options.quiet) {
        out << "Shard " << index << " of " << plan.shards.size() << ": "
            << counted(shard.totals.counts.total(), "difference") << " in " << options.outDirectory.string()
            << '\n';
    }
}

ComparisonReport runMerge(const MergeOptions& options, std::ostream& out) {
    const ShardPlan plan = readShardPlan(options.planFile);
    const std::vector<FoundShard> shards =
        readShards(plan, options.planFile, options.shardDirectories, options.htmlFile.has_value());
    checkInputsUnchanged(plan);

    std::vector<fs::path> inputs = pathsReadBy(plan, options.planFile);
    inputs.insert(inputs.end(), options.shardDirectories.begin(), options.shardDirectories.end());
    RunOutputs outputs(inputs, options.jsonFile, options.htmlFile, options.outDirectory, options.overwrite);

    // In the order of a single run, so that the reports say the same.
    ComparisonReport report;
    const std::array<InputLegs, 2> legs = readPlannedInputs(plan, report);
    checkRoom(
        legs, [&outputs](std::uint64_t bytes) { return outputs.roomWarnings(bytes); }, plan.settings.strict,
        options.quiet, out, report.warnings);
    const Engine::EngineOptions engineOptions = setUpRun(plan.settings, report, legs[0], legs[1]);
    std::unique_ptr<ClassFiles> classFiles;
    if (outputs.classFileFolder()) {
        classFiles = makeClassFiles(*outputs.classFileFolder(), legs[0], legs[1], plan.settings.outFormat,
                                    report.parameters.threads, report.warnings);
    }

    ShardTotals totals = addedUp(shards);
    report.parameters.windows = totals.windows;
    report.parameters.sharded = ShardedRun{plan.id, plan.shards.size()};
    report.summary = summaryOf(totals, report.parameters.pointAttributes);
    if (options.htmlFile && totals.map) {
        report.map = std::move(totals.map);
    }
    completeReport(legs,
                   {ScannedInput{factsOf(totals, 0), totals.inputs[0].pointsBySourceId},
                    ScannedInput{factsOf(totals, 1), totals.inputs[1].pointsBySourceId}},
                   engineOptions, report);
    const std::uint64_t unwrittenPoints =
        classFiles ? totals.unwritten + mergeClassFiles(shards, *outputs.classFileFolder(), *classFiles) : 0;
    if (!options.quiet) {
        printRunHeader(out, report);
    }
    finishRun(report, unwrittenPoints, outputs, options.quiet, out);
    if (options.partsDirectory && !options.keepParts) {
        removePartitions(*options.partsDirectory, plan.shards.size());
    }
    return report;
}

} // namespace Orvid::Compare
