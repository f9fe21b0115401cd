// The Python package against the command, on the generated pair that CompareEngineBenchmark uses
// (ORVID_ENGINE_BENCH_DATA): orvid.compare in this process's interpreter against orvid-compare run as
// a process, both on two threads, and Comparison.points("modified") on the modified points of the pair
// (1 % of its points). Sizes: ORVID_PYTHON_BENCH_POINTS (default 1M), such as "10M".
#include "BenchmarkSupport.h"
#include "LasCloudFiles.h"

#include <benchmark/benchmark.h>

#include <pybind11/embed.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
namespace py = pybind11;
using namespace py::literals;

constexpr int THREADS = 2;

/// The generated pair of `points` reference points, written unless an earlier run left it.
std::array<fs::path, 2> pairOf(std::int64_t points) {
    const fs::path folder =
        benchmarkDataFolder("ORVID_ENGINE_BENCH_DATA", "orvid-engine-bench") / std::to_string(points);
    std::array<fs::path, 2> files{folder / "reference-1.las", folder / "test-1.las"};
    writePairOnce(folder, files, [&](const fs::path& partial) {
        Orvid::Testing::writeSurveyPair(partial, static_cast<std::uint64_t>(points));
    });
    return files;
}

/// orvid.compare against the command, in turns, so that both see the same load of the machine; the
/// counter `ratio` is the median time of the first over that of the second.
void compareAgainstCommand(benchmark::State& state) {
    const std::array<fs::path, 2> files = pairOf(state.range(0));
    const py::object compare = py::module_::import("orvid").attr("compare");
    std::vector<double> python;
    std::vector<double> command;
    for (auto _ : state) {
        command.push_back(runProcess(ORVID_COMPARE, {files[0].string(), files[1].string(), "--quiet",
                                                     "--threads", std::to_string(THREADS)})
                              .wall);
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(compare(files[0].string(), files[1].string(), "threads"_a = THREADS));
        python.push_back(secondsSince(start));
        state.SetIterationTime(python.back());
    }
    state.counters["command_s"] = median(command);
    state.counters["python_s"] = median(python);
    state.counters["ratio"] = median(python) / median(command);
}

/// The structured array of the modified points, from a comparison made once.
void modifiedPoints(benchmark::State& state) {
    const std::array<fs::path, 2> files = pairOf(state.range(0));
    const py::object comparison = py::module_::import("orvid").attr("compare")(
        files[0].string(), files[1].string(), "threads"_a = THREADS);
    std::size_t points = 0;
    for (auto _ : state) {
        points = py::len(comparison.attr("points")("modified"));
    }
    state.counters["points"] = static_cast<double>(points);
}

} // namespace

int main(int argc, char** argv) {
    const py::scoped_interpreter interpreter;
    py::module_::import("sys").attr("path").attr("insert")(0, ORVID_PYTHON_PACKAGES);
    for (const std::int64_t points : benchmarkSizes("ORVID_PYTHON_BENCH_POINTS", "1M")) {
        benchmark::RegisterBenchmark("compareAgainstCommand", compareAgainstCommand)
            ->Arg(points)
            ->Iterations(3)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("modifiedPoints", modifiedPoints)
            ->Arg(points)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
