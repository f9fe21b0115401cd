// The cost of running orvid-compare in shards beyond the comparison itself: plan (headers and keys) and
// merge (shard reports added, class files concatenated, reports written), as a ratio to the single run
// of the same comparison measured in the same run (JSON report and class files on, both ways). The
// shards' own time is reported too, as a ratio to the single run (they do its work, on one machine here).
//
// Orders: both files in GPS-time order (0), the test file shuffled (1).
// Sizes: ORVID_SHARD_BENCH_POINTS, a comma-separated list of reference point counts with an optional K
// or M suffix (default "1M"; "10M" for the figure of the README). The files are generated once into
// ORVID_SHARD_BENCH_DATA (default <temp>/orvid-shard-bench) and kept for later runs.
#include "BenchmarkSupport.h"
#include "Command/CompareCommand.h"
#include "Command/ShardCommands.h"
#include "LasCloudFiles.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace Orvid;
using Clock = std::chrono::steady_clock;

constexpr unsigned THREADS = 2;

enum Order : std::int64_t { KEY_ORDER = 0, TEST_SHUFFLED = 1 };

fs::path dataFolder() {
    const char* folder = std::getenv("ORVID_SHARD_BENCH_DATA");
    return folder != nullptr ? fs::path(folder) : fs::temp_directory_path() / "orvid-shard-bench";
}

/// The reference and the test (in key order, and shuffled) of `points` points, written unless an
/// earlier run left them, in a child process so that the memory it takes never shows here.
std::array<fs::path, 3> pairOf(std::int64_t points) {
    const fs::path folder = dataFolder() / std::to_string(points);
    std::array<fs::path, 3> files{folder / "reference-1.las", folder / "test-1.las", folder / "shuffled.las"};
    if (fs::exists(files[2])) {
        return files;
    }
    inChildProcess(folder, [&] {
        const fs::path partial = folder / "partial";
        fs::remove_all(partial);
        fs::create_directories(partial);
        Testing::writeSurveyPair(partial, static_cast<std::uint64_t>(points));
        Testing::writeShuffledCopy(partial / "test-1.las", partial / "shuffled.las", 7);
        for (const fs::path& file : files) {
            fs::rename(partial / file.filename(), file);
        }
        fs::remove_all(partial);
    });
    return files;
}

template <typename Step>
double secondsOf(Step&& step) {
    const auto start = Clock::now();
    step();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

/// Arguments: reference points, shards, `Order`.
void shardOverhead(benchmark::State& state) {
    const std::array<fs::path, 3> files = pairOf(state.range(0));
    const auto shards = static_cast<std::size_t>(state.range(1));
    const fs::path work = dataFolder() / "work";
    Compare::CompareOptions options;
    options.reference = files[0];
    options.test = state.range(2) == TEST_SHUFFLED ? files[2] : files[1];
    options.settings.threads = THREADS;
    options.quiet = true;
    options.progress = false;

    double single = 0.0;
    double plan = 0.0;
    double shardRuns = 0.0;
    double merge = 0.0;
    for (auto _ : state) {
        fs::remove_all(work);
        fs::create_directories(work);
        std::ostringstream out;
        std::ostringstream err;
        Compare::CompareOptions singleRun = options;
        singleRun.jsonFile = work / "single.json";
        singleRun.outDirectory = work / "single";
        single += secondsOf([&] { Compare::runComparison(singleRun, out, err); });

        const Compare::PlanOptions planOptions{options.reference,  options.test, options.settings, shards,
                                               work / "plan.json", options.quiet};
        const double planning = secondsOf([&] { Compare::runPlan(planOptions, out); });
        Compare::MergeOptions mergeOptions;
        mergeOptions.planFile = planOptions.planFile;
        for (std::size_t shard = 0; shard < shards; ++shard) {
            mergeOptions.shardDirectories.push_back(work / ("shard-" + std::to_string(shard)));
            shardRuns += secondsOf([&] {
                Compare::runShard({planOptions.planFile, static_cast<std::int64_t>(shard),
                                   mergeOptions.shardDirectories.back(), true, false, {}},
                                  out, err);
            });
        }
        mergeOptions.jsonFile = work / "merged.json";
        mergeOptions.outDirectory = work / "merged";
        mergeOptions.quiet = true;
        const double merging = secondsOf([&] { Compare::runMerge(mergeOptions, out); });
        plan += planning;
        merge += merging;
        state.SetIterationTime(planning + merging);
    }
    fs::remove_all(work);
    state.counters["x_single_run"] = (plan + merge) / single;
    state.counters["x_limit"] = 0.05;
    state.counters["plan_x_single"] = plan / single;
    state.counters["merge_x_single"] = merge / single;
    state.counters["shards_x_single"] = shardRuns / single;
    state.counters["single_s"] = single / static_cast<double>(state.iterations());
}

void registerAll() {
    for (const std::int64_t points : benchmarkSizes("ORVID_SHARD_BENCH_POINTS", "1M")) {
        for (const std::int64_t order : {KEY_ORDER, TEST_SHUFFLED}) {
            benchmark::RegisterBenchmark("shardOverhead", shardOverhead)
                ->ArgNames({"points", "shards", "order"})
                ->Args({points, 8, order})
                ->Iterations(points >= 5000000 ? 1 : 3)
                ->Unit(benchmark::kMillisecond)
                ->UseManualTime();
        }
    }
}

const bool REGISTERED = (registerAll(), true);

} // namespace
