#include "Command/ShardCommandLine.h"
#include "Command/ComparisonArguments.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cstdint>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <variant>
#include <vector>

namespace Orvid::Compare {
namespace {

constexpr const char* PLAN_DESCRIPTION =
    R"(Cuts a comparison into shards that run on their own, on this machine or others.

    orvid-compare plan REFERENCE TEST --shards N -o PLAN [comparison flags]
Reads only the headers and a sample of the keys of REFERENCE and TEST (no comparison) and writes PLAN:
the inputs, every comparison flag given, and N GPS-time windows of about equal numbers of points
(points of one GPS time always in one window, NaN times in a window of their own), and N shares of
each input of about equal bytes. Then run
  orvid-compare shard PLAN K -o DIR_K     for every K from 0 to N-1, anywhere the inputs can be read
  orvid-compare merge PLAN DIR_0 ... DIR_N-1 [--json FILE] [--html FILE] [--out DIR]
or, so that each input is read once in all rather than once per shard,
  orvid-compare partition PLAN I --parts PARTS      for every I from 0 to N-1
  orvid-compare shard PLAN K --parts PARTS -o DIR_K for every K, once every partition is done
  orvid-compare merge PLAN DIR_0 ... DIR_N-1 --parts PARTS [--json FILE] [--html FILE] [--out DIR]
The comparison flags are those of orvid-compare (listed below), but its outputs (--out, --json,
--html), which the merge writes.)";

constexpr const char* SHARD_DESCRIPTION =
    R"(Compares shard K (0 to N-1) of a plan and writes into DIR its report (shard.json) and its
class files, all or none. With --parts, reads the shard's records from the runs that every partition of
the plan wrote under PARTS, not from the inputs. Exits 0 once the shard is written, whatever it found; a
failed shard can be run again alone.)";

constexpr const char* PARTITION_DESCRIPTION =
    R"(Reads share I (0 to N-1) of both inputs of a plan once and writes into PARTS/partition-I, all or
none, its records of each shard's windows as one run of raw records per shard (stored uncompressed,
about the share's uncompressed record size in all) and what the share tells of the whole inputs. Run
again, it replaces its own folder alone.)";

constexpr const char* MERGE_DESCRIPTION =
    R"(Adds up the shards of a plan and writes what one comparison would: the summary, the JSON and HTML
reports, the class files (each shard's concatenated in shard order) and the exit status (0 same, 1
different, 2 error). Refuses, writing nothing, a missing, repeated, foreign or corrupt shard.)";

/// The flags of a single run that a plan has no use for, taken unlisted so that one list of flags serves
/// both: the demo and the outputs (the merge writes them) to be refused, and the others.
struct SingleRunFlags {
    bool demo = false;
    std::string out;
    std::string json;
    std::string html;

    void declare(CLI::App& app) {
        app.add_option("--out", out)->group("");
        app.add_option("--json", json)->group("");
        app.add_option("--html", html)->group("");
        app.add_flag("--demo", demo)->group("");
        app.add_flag("--overwrite")->group("");
        app.add_flag("--progress,!--no-progress")->group("");
    }

    /// Whether the demo or an output was asked for.
    bool refused() const { return demo || !out.empty() || !json.empty() || !html.empty(); }
};

/// Refuses a `what` (a shard, a share) given as anything but a whole number; the plan says which are its.
CLI::Validator indexOfPlan(const char* what) {
    return CLI::Validator(
        [what](const std::string& text) {
            std::int64_t index = 0;
            const char* const end = text.data() + text.size();
            const auto [stop, error] = std::from_chars(text.data(), end, index);
            return text.empty() || stop != end || error != std::errc()
                       ? "must be a whole number (a " + std::string(what) + " of the plan, from 0), not '" +
                             text + "'"
                       : std::string();
        },
        "");
}

/// The -q and --progress flags of a task that runs anywhere (a partition, a shard).
class TaskOutputFlags {
public:
    TaskOutputFlags(CLI::App& app, bool& quiet) {
        app.add_flag("-q,--quiet", quiet, "Print nothing but errors");
        mProgress = app.add_flag("--progress,!--no-progress", mProgressGiven,
                                 "Show a progress bar on standard error (default: when it is a terminal)");
    }
    TaskOutputFlags(const TaskOutputFlags&) = delete;
    TaskOutputFlags& operator=(const TaskOutputFlags&) = delete;

    /// --progress or --no-progress, once parsed; nothing when neither was given.
    std::optional<bool> progress() const {
        return mProgress->count() > 0 ? std::optional<bool>(mProgressGiven) : std::nullopt;
    }

private:
    CLI::Option* mProgress = nullptr;
    bool mProgressGiven = false;
};

ShardCommand parsePlan(int argc, const char* const* argv) {
    PlanOptions options;
    CLI::App app(PLAN_DESCRIPTION, "orvid-compare plan");
    declareVersionFlag(app)->group("");
    app.add_option("--shards", options.shards, "Shards to cut the comparison into")
        ->required()
        ->check(CLI::Range(std::size_t{1}, std::size_t{100000}))
        ->type_name("N");
    std::string planFile;
    app.add_option("-o,--output", planFile, "Where to write the plan (JSON)")
        ->required()
        ->type_name("PLAN")
        ->check(nonEmptyPath());
    InputArguments inputs;
    inputs.declare(app);
    ComparisonFlags flags(app);
    app.add_flag("-q,--quiet", options.quiet, "Print nothing but errors");
    SingleRunFlags singleRun;
    singleRun.declare(app);
    if (const std::optional<EarlyExit> early = parseCommand(app, argc - 1, argv + 1, [&] {
            inputs.check(singleRun.demo);
            options.settings = flags.read();
        })) {
        return *early;
    }
    if (singleRun.refused()) {
        std::cerr << "orvid-compare plan: --demo, --out, --json and --html are not for a plan: give the "
                     "outputs to orvid-compare merge\n";
        return EarlyExit{2};
    }
    options.reference = inputs.reference;
    options.test = inputs.test;
    options.planFile = planFile;
    return options;
}

ShardCommand parseShard(int argc, const char* const* argv) {
    ShardOptions options;
    CLI::App app(SHARD_DESCRIPTION, "orvid-compare shard");
    std::string plan;
    std::string outDirectory;
    app.add_option("PLAN", plan, "The plan")->required()->type_name("PLAN");
    app.add_option("K", options.shard, "The shard to compare, from 0")
        ->required()
        ->type_name("K")
        ->check(indexOfPlan("shard"));
    app.add_option("-o,--output", outDirectory, "The shard's folder")
        ->required()
        ->type_name("DIR")
        ->check(nonEmptyPath());
    const TaskOutputFlags output(app, options.quiet);
    std::string parts;
    app.add_option("--parts", parts, "Read the shard's records from the partitions in this folder")
        ->type_name("PARTS");
    if (const std::optional<EarlyExit> early = parseCommand(app, argc - 1, argv + 1)) {
        return *early;
    }
    options.planFile = plan;
    options.outDirectory = outDirectory;
    options.partsDirectory = givenPath(parts);
    options.progress = output.progress();
    return options;
}

ShardCommand parsePartition(int argc, const char* const* argv) {
    PartitionOptions options;
    CLI::App app(PARTITION_DESCRIPTION, "orvid-compare partition");
    std::string plan;
    std::string parts;
    app.add_option("PLAN", plan, "The plan")->required()->type_name("PLAN");
    app.add_option("I", options.partition, "The share to partition, from 0")
        ->required()
        ->type_name("I")
        ->check(indexOfPlan("share"));
    app.add_option("--parts", parts, "The partitions' folder, shared by all of them")
        ->required()
        ->type_name("PARTS");
    const TaskOutputFlags output(app, options.quiet);
    if (const std::optional<EarlyExit> early = parseCommand(app, argc - 1, argv + 1)) {
        return *early;
    }
    options.planFile = plan;
    options.partsDirectory = parts;
    options.progress = output.progress();
    return options;
}

ShardCommand parseMerge(int argc, const char* const* argv) {
    MergeOptions options;
    CLI::App app(MERGE_DESCRIPTION, "orvid-compare merge");
    std::string plan;
    std::vector<std::string> folders;
    std::string jsonFile;
    std::string htmlFile;
    std::string outDirectory;
    app.add_option("PLAN", plan, "The plan")->required()->type_name("PLAN");
    app.add_option("DIR", folders, "The shards' folders, one per shard, in any order")
        ->required()
        ->type_name("DIR");
    app.add_option("--json", jsonFile, "Write the JSON report here")
        ->type_name("FILE")
        ->check(nonEmptyPath());
    app.add_option("--html", htmlFile, "Write the HTML report here")
        ->type_name("FILE")
        ->check(nonEmptyPath());
    app.add_option("--out", outDirectory, "Write the class files into this folder")
        ->type_name("DIR")
        ->check(nonEmptyPath());
    app.add_flag("--overwrite", options.overwrite,
                 "Write into an --out folder that holds other files too (only the files an earlier run "
                 "wrote there are ever replaced)");
    app.add_flag("-q,--quiet", options.quiet, "Print nothing but errors");
    std::string parts;
    app.add_option("--parts", parts,
                   "Once the outputs are written, remove what the plan's partitions wrote in this folder")
        ->type_name("PARTS");
    app.add_flag("--keep-parts", options.keepParts, "Keep the partitions' files that --parts names");
    if (const std::optional<EarlyExit> early = parseCommand(app, argc - 1, argv + 1)) {
        return *early;
    }
    options.planFile = plan;
    options.partsDirectory = givenPath(parts);
    options.shardDirectories.assign(folders.begin(), folders.end());
    options.jsonFile = givenPath(jsonFile);
    options.htmlFile = givenPath(htmlFile);
    options.outDirectory = givenPath(outDirectory);
    return options;
}

} // namespace

bool isShardCommand(std::string_view word) {
    return word == "plan" || word == "partition" || word == "shard" || word == "merge";
}

ShardCommand parseShardCommandLine(int argc, const char* const* argv) {
    const std::string_view command = argv[1];
    if (command == "plan") {
        return parsePlan(argc, argv);
    }
    if (command == "partition") {
        return parsePartition(argc, argv);
    }
    if (command == "shard") {
        return parseShard(argc, argv);
    }
    return parseMerge(argc, argv);
}

} // namespace Orvid::Compare
