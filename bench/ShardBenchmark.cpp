// The CPU (user + system) of every task of a comparison run in 8 shards through partitions (the plan,
// each partition, each shard, the merge) as a ratio to the single run of the same comparison measured
// in the same run (JSON report and class files on, both ways), medians of 3 rounds. Each task runs
// orvid-compare in a process of its own, as on a cluster, and its CPU is what the kernel counted for
// that process and its threads. Goals: all tasks together at most 1.6 times the single run, none above
// 0.3 times.
//
// Layouts: a LAZ pair in GPS-time order (0); a LAS pair, the test shuffled (1); a LAZ reference and
// its test re-tiled into 4 spatial LAZ tiles (2).
// Sizes: ORVID_SHARD_BENCH_POINTS, a comma-separated list of reference point counts with an optional K
// or M suffix (default "1M"; "10M" for the figure of the README). The files are generated once into
// ORVID_SHARD_BENCH_DATA (default <temp>/orvid-shard-bench) and kept for later runs.
#include "BenchmarkSupport.h"
#include "LasCloudFiles.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <utility>

namespace {

namespace fs = std::filesystem;
using namespace Orvid;
using FileIoInterface::Las::LasCompression;

constexpr unsigned THREADS = 2;
constexpr std::size_t SHARDS = 8;

enum Layout : std::int64_t { LAZ_IN_ORDER = 0, LAS_TEST_SHUFFLED = 1, LAZ_TEST_RETILED = 2 };

fs::path dataFolder() {
    const char* folder = std::getenv("ORVID_SHARD_BENCH_DATA");
    return folder != nullptr ? fs::path(folder) : fs::temp_directory_path() / "orvid-shard-bench";
}

/// Writes the reference and the test of `layout` into `folder`/reference and `folder`/test.
void writeLayout(const fs::path& folder, std::int64_t points, std::int64_t layout) {
    const fs::path pair = folder / "pair";
    const LasCompression compression =
        layout == LAS_TEST_SHUFFLED ? LasCompression::Las : LasCompression::Laz;
    const std::array<fs::path, 2> files =
        Testing::writeSurveyPair(pair, static_cast<std::uint64_t>(points), 7, compression);
    fs::create_directories(folder / "reference");
    fs::create_directories(folder / "test");
    fs::rename(files[0], folder / "reference" / files[0].filename());
    if (layout == LAS_TEST_SHUFFLED) {
        Testing::writeShuffledCopy(files[1], folder / "test" / files[1].filename(), 7);
    } else if (layout == LAZ_TEST_RETILED) {
        const std::array<fs::path, 2> las =
            Testing::writeSurveyPair(folder / "las", static_cast<std::uint64_t>(points));
        Testing::writeTiles(las[1], folder / "test", "tile", 2, LasCompression::Laz);
    } else {
        fs::rename(files[1], folder / "test" / files[1].filename());
    }
    fs::remove_all(pair);
    fs::remove_all(folder / "las");
}

/// The inputs of `layout` with `points` points, written unless an earlier run left them, in a child
/// process so that the memory it takes never shows here.
fs::path inputsOf(std::int64_t points, std::int64_t layout) {
    fs::path folder = dataFolder() / (std::to_string(points) + "-" + std::to_string(layout));
    if (fs::exists(folder / "complete")) {
        return folder;
    }
    inChildProcess(folder, [&] {
        fs::remove_all(folder);
        writeLayout(folder, points, layout);
        std::ofstream(folder / "complete") << "written\n";
    });
    return folder;
}

/// The CPU seconds that orvid-compare with `arguments` took, in a process of its own.
double cpuSecondsOf(const std::vector<std::string>& arguments) {
    return runProcess(ORVID_COMPARE, arguments).cpu;
}

/// The CPU seconds of each task of a comparison in partitions and shards.
struct StageSeconds {
    double plan = 0.0;
    std::vector<double> partitions;
    std::vector<double> shards;
    double merge = 0.0;
};

/// Runs every task of the comparison of `inputs` in `work`, each as the process a cluster would run.
StageSeconds runStages(const fs::path& inputs, const fs::path& work) {
    StageSeconds seconds;
    const std::string plan = (work / "plan.json").string();
    const std::string parts = (work / "parts").string();
    seconds.plan =
        cpuSecondsOf({"plan", (inputs / "reference").string(), (inputs / "test").string(), "--shards",
                      std::to_string(SHARDS), "--threads", std::to_string(THREADS), "-o", plan, "-q"});
    std::vector<std::string> merge{"merge", plan};
    for (std::size_t index = 0; index < SHARDS; ++index) {
        seconds.partitions.push_back(cpuSecondsOf(
            {"partition", plan, std::to_string(index), "--parts", parts, "-q", "--no-progress"}));
    }
    for (std::size_t index = 0; index < SHARDS; ++index) {
        merge.push_back((work / ("shard-" + std::to_string(index))).string());
        seconds.shards.push_back(cpuSecondsOf({"shard", plan, std::to_string(index), "--parts", parts, "-o",
                                               merge.back(), "-q", "--no-progress"}));
    }
    for (const std::string& argument :
         {std::string("--parts"), parts, std::string("--json"), (work / "merged.json").string(),
          std::string("--out"), (work / "merged").string(), std::string("-q")}) {
        merge.push_back(argument);
    }
    seconds.merge = cpuSecondsOf(merge);
    return seconds;
}

/// Rounds of the single run and all tasks, one after the other, of which the medians count: the
/// machine's load moves a single run's CPU by a third.
constexpr std::size_t ROUNDS = 3;

/// Each task's median CPU over `rounds`.
StageSeconds mediansOf(const std::vector<StageSeconds>& rounds) {
    const auto over = [&rounds](const auto& task) {
        std::vector<double> values;
        values.reserve(rounds.size());
        for (const StageSeconds& round : rounds) {
            values.push_back(task(round));
        }
        return median(values);
    };
    StageSeconds medians;
    medians.plan = over([](const StageSeconds& round) { return round.plan; });
    medians.merge = over([](const StageSeconds& round) { return round.merge; });
    for (std::size_t index = 0; index < SHARDS; ++index) {
        medians.partitions.push_back(
            over([index](const StageSeconds& round) { return round.partitions[index]; }));
        medians.shards.push_back(over([index](const StageSeconds& round) { return round.shards[index]; }));
    }
    return medians;
}

/// Reports every task's CPU as a ratio to the single run's, their total and the largest task.
void report(benchmark::State& state, const StageSeconds& seconds, double single) {
    double total = seconds.plan + seconds.merge;
    double largest = std::max(seconds.plan, seconds.merge);
    state.counters["plan_x"] = seconds.plan / single;
    using Tasks = std::pair<std::string, const std::vector<double>*>;
    for (const Tasks& stage : {Tasks{"partition_", &seconds.partitions}, Tasks{"shard_", &seconds.shards}}) {
        const auto& [name, tasks] = stage;
        for (std::size_t index = 0; index < tasks->size(); ++index) {
            state.counters[name + std::to_string(index) + "_x"] = (*tasks)[index] / single;
            total += (*tasks)[index];
            largest = std::max(largest, (*tasks)[index]);
        }
    }
    state.counters["merge_x"] = seconds.merge / single;
    state.counters["all_tasks_x"] = total / single;
    state.counters["largest_task_x"] = largest / single;
    state.counters["single_cpu_s"] = single;
}

/// Arguments: reference points, `Layout`.
void shardStages(benchmark::State& state) {
    const fs::path inputs = inputsOf(state.range(0), state.range(1));
    const fs::path work = dataFolder() / "work";
    for (auto _ : state) {
        std::vector<double> singles;
        std::vector<StageSeconds> rounds;
        for (std::size_t round = 0; round < ROUNDS; ++round) {
            fs::remove_all(work);
            fs::create_directories(work);
            singles.push_back(
                cpuSecondsOf({(inputs / "reference").string(), (inputs / "test").string(), "--threads",
                              std::to_string(THREADS), "--json", (work / "single.json").string(), "--out",
                              (work / "single").string(), "-q", "--no-progress"}));
            rounds.push_back(runStages(inputs, work));
        }
        const double single = median(singles);
        report(state, mediansOf(rounds), single);
        state.SetIterationTime(single);
    }
    fs::remove_all(work);
}

void registerAll() {
    for (const std::int64_t points : benchmarkSizes("ORVID_SHARD_BENCH_POINTS", "1M")) {
        for (const std::int64_t layout : {LAZ_IN_ORDER, LAS_TEST_SHUFFLED, LAZ_TEST_RETILED}) {
            benchmark::RegisterBenchmark("shardStages", shardStages)
                ->ArgNames({"points", "layout"})
                ->Args({points, layout})
                ->Iterations(1)
                ->Unit(benchmark::kMillisecond)
                ->UseManualTime();
        }
    }
}

const bool REGISTERED = (registerAll(), true);

} // namespace
