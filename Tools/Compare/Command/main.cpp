// orvid-compare: pairs the points of a reference and a test cloud by GPS time and return number and
// reports what was removed, added, moved or altered; with --demo, on a generated survey whose changes it
// knows. `orvid-compare plan|shard|merge` runs one comparison in shards, on one machine or several.
#include "Command/CommandLine.h"
#include "Command/CompareCommand.h"
#include "Command/Demo.h"
#include "Command/RunOutputs.h"
#include "Command/ShardCommandLine.h"

#include <csignal>
#include <filesystem>
#include <iostream>
#include <optional>

namespace {

/// Where the text summary goes: standard output, unless the JSON report goes there.
std::ostream& summaryStream(const std::optional<std::filesystem::path>& jsonFile) {
    return Orvid::Compare::RunOutputs::isStandardOutput(jsonFile) ? std::cerr : std::cout;
}

/// `status`, unless what was written to standard output did not all reach it (a full disk): then 2.
int afterStandardOutput(int status) {
    std::cout.flush();
    if (!std::cout && status != 2) {
        std::cerr << "orvid-compare: error: standard output could not be written\n";
        return 2;
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
    using namespace Orvid::Compare;
    std::ios::sync_with_stdio(false);
    // A file-size limit (ulimit -f) then fails the write that reaches it, as a full disk does, and the
    // run ends as any failed run does, rather than being killed with its outputs staged.
    std::signal(SIGXFSZ, SIG_IGN);
    if (argc > 1 && isShardCommand(argv[1])) {
        const auto parsed = parseShardCommandLine(argc, argv);
        if (const auto* early = std::get_if<EarlyExit>(&parsed)) {
            return early->status;
        }
        const int status = runGuarded(std::cerr, [&parsed] {
            if (const auto* plan = std::get_if<PlanOptions>(&parsed)) {
                runPlan(*plan, std::cout);
                return 0;
            }
            if (const auto* partition = std::get_if<PartitionOptions>(&parsed)) {
                runPartition(*partition, std::cout, std::cerr);
                return 0;
            }
            if (const auto* shard = std::get_if<ShardOptions>(&parsed)) {
                runShard(*shard, std::cout, std::cerr);
                return 0;
            }
            const MergeOptions& merge = std::get<MergeOptions>(parsed);
            return runMerge(merge, summaryStream(merge.jsonFile)).exitStatus;
        });
        return afterStandardOutput(status);
    }
    const auto parsed = parseCommandLine(argc, argv);
    if (const auto* early = std::get_if<EarlyExit>(&parsed)) {
        return early->status;
    }
    const CompareOptions& options = std::get<CompareOptions>(parsed);
    const int status = runGuarded(std::cerr, [&options] {
        if (options.demo) {
            const DemoRun demo = prepareDemo(options, std::cout);
            return checkDemo(demo, runComparison(demo.options, std::cout, std::cerr), std::cout, std::cerr);
        }
        return runComparison(options, summaryStream(options.jsonFile), std::cerr).exitStatus;
    });
    return afterStandardOutput(status);
}
