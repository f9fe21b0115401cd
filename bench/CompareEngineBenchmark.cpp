// orvid-compare and its comparison engine on a generated LAS pair (LAS 1.4, point format 7, 1 % of each
// change), one leg per file, files in the page cache, beside a plain sequential read of both files' records
// through the plug-in measured in the same run: the engine's time reads as a ratio to that read.
// Also reports the peak anonymous resident memory of the comparison (RssAnon, sampled) and the
// limit it must stay within.
//
// compareWithoutTime: the survey pair without GPS time (point format 0), paired by position, beside
// the same pair with it (format 1), for their ratio; the counts of each.
//
// compareOneTime: a cloud whose GPS times are all 0 (one key group of every point) against a copy shifted
// by half an epsilon, where every test point must find its reference point among all of them.
//
// compareLaz: the pair as LAZ (in key order, or the test shuffled), its legs decoded into memory
// (the default budget) or read chunk by chunk (16 MiB, decoded whole into the temporary folder only
// when shuffled); the plain read beside it decodes both files on one thread. Reports the temporary
// folder's share.
//
// Orders: both files in GPS-time order (0), the test file shuffled (1), both shuffled (2).
// Sizes: ORVID_ENGINE_BENCH_POINTS, a comma-separated list of reference point counts with an
// optional K or M suffix (default "1M"; "1M,10M" for the full run). The files are generated once
// into ORVID_ENGINE_BENCH_DATA (default <temp>/orvid-engine-bench) and kept for later runs.
#include "BenchmarkSupport.h"
#include "Command/CompareCommand.h"
#include "LasCloudFiles.h"
#include "MemoryPoint.h"
#include "RssAnonSampler.h"

#include <CompareEngine/CompareEngine.h>

#include <FileIoInterface/Las/LasPoint.h>
#include <FileIoInterface/Las/LasReader.h>

#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <malloc.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace Orvid;
using Clock = std::chrono::steady_clock;
using Compare::Engine::CompareEngine;
using Compare::Engine::Decision;
using Compare::Engine::DecisionSink;
using Compare::Engine::EngineOptions;

constexpr unsigned THREADS = 2;
constexpr std::uint64_t MIB = std::uint64_t{1} << 20;

/// The generated pair, and copies with their records shuffled.
struct PairFiles {
    fs::path reference;
    fs::path test;
    fs::path shuffledReference;
    fs::path shuffledTest;
};

/// Input orders measured.
enum Order : std::int64_t { KEY_ORDER = 0, TEST_SHUFFLED = 1, BOTH_SHUFFLED = 2 };

fs::path dataFolder() {
    return benchmarkDataFolder("ORVID_ENGINE_BENCH_DATA", "orvid-engine-bench");
}

/// The pair of `points` reference points, written unless an earlier run left it; each file is
/// written under a temporary name and renamed when complete.
PairFiles pairOf(std::int64_t points) {
    const fs::path folder = dataFolder() / std::to_string(points);
    PairFiles files{folder / "reference-1.las", folder / "test-1.las", folder / "shuffled-reference.las",
                    folder / "shuffled-test.las"};
    writePairOnce(folder, {files.reference, files.test}, [&](const fs::path& partial) {
        Testing::writeSurveyPair(partial, static_cast<std::uint64_t>(points));
    });
    for (const auto& [source, shuffled, seed] :
         {std::tuple{files.test, files.shuffledTest, 7}, {files.reference, files.shuffledReference, 11}}) {
        if (!fs::exists(shuffled)) {
            inChildProcess(folder, [&, source = source, shuffled = shuffled, seed = seed] {
                const fs::path partial = fs::path(shuffled).concat(".partial");
                Testing::writeShuffledCopy(source, partial, static_cast<std::uint64_t>(seed));
                fs::rename(partial, shuffled);
            });
        }
    }
    return files;
}

/// Counts decisions and touches each point, as a caller gathering statistics would.
class CountingSink final : public DecisionSink {
public:
    void decided(const Decision& decision) override {
        ++mDecisions;
        const auto* point = decision.testPoint != nullptr ? decision.testPoint : decision.referencePoint;
        mSum += point->getX() + decision.displacement.dz;
    }
    bool restartable() const override { return true; }
    void restart() override { *this = CountingSink(); }
    double checksum() const { return mSum + static_cast<double>(mDecisions); }

private:
    std::uint64_t mDecisions = 0;
    double mSum = 0.0;
};

double plainReadSeconds(const std::array<fs::path, 2>& inputs) {
    const auto start = Clock::now();
    FileIoInterface::Las::LasPoint point;
    for (const fs::path& path : inputs) {
        FileIoInterface::Las::LasReader reader({path});
        while (reader.hasMoreLegs()) {
            reader.nextLeg();
            while (reader.hasMorePoints()) {
                reader.readPoint(point);
                benchmark::DoNotOptimize(point.getX());
            }
        }
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

/// Runs `comparison` once per iteration, after a plain read of the same inputs, and reports its time
/// as a ratio to that read, in µs per point, and its peak RssAnon, each beside its limit. `comparison`
/// returns the GPS-time windows it ran in.
template <typename Comparison>
void measure(benchmark::State& state, const std::array<fs::path, 2>& inputs, Order order,
             std::uint64_t budget, Comparison comparison) {
    const std::uint64_t inputPoints = FileIoInterface::Las::readLasHeader(inputs[0]).pointCount +
                                      FileIoInterface::Las::readLasHeader(inputs[1]).pointCount;
    // Brings both files into the page cache.
    plainReadSeconds(inputs);
    double readSeconds = 0.0;
    double comparisonSeconds = 0.0;
    std::uint64_t peak = 0;
    std::size_t windows = 0;
    for (auto _ : state) {
        readSeconds += plainReadSeconds(inputs);
        // Heap that earlier runs freed but the allocator kept would count as this run's.
        ::malloc_trim(0);
        RssAnonSampler sampler;
        const auto start = Clock::now();
        windows = comparison();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        peak = std::max(peak, sampler.stop());
        comparisonSeconds += seconds;
        state.SetIterationTime(seconds);
    }
    std::uint64_t limit = budget != 0 ? budget : 20 * inputPoints + 64 * MIB;
    if (order == KEY_ORDER) {
        limit = std::min(limit, 64 * MIB);
    }
    state.counters["x_plain_read"] = comparisonSeconds / readSeconds;
    state.counters["x_limit"] = order == KEY_ORDER ? 4.0 : 15.0;
    state.counters["us_per_point"] =
        comparisonSeconds * 1e6 / static_cast<double>(state.iterations()) / static_cast<double>(inputPoints);
    state.counters["peak_rss_anon_MiB"] = static_cast<double>(peak) / static_cast<double>(MIB);
    state.counters["rss_anon_limit_MiB"] = static_cast<double>(limit) / static_cast<double>(MIB);
    state.counters["windows"] = static_cast<double>(windows);
}

/// The engine alone. Arguments: reference points, `Order`, memory budget in MiB (0: the default),
/// threads.
void compareEngine(benchmark::State& state) {
    const auto order = static_cast<Order>(state.range(1));
    const auto budget = static_cast<std::uint64_t>(state.range(2)) * MIB;
    const auto threads = static_cast<unsigned>(state.range(3));
    const PairFiles files = pairOf(state.range(0));
    const std::array<fs::path, 2> inputs{order == BOTH_SHUFFLED ? files.shuffledReference : files.reference,
                                         order == KEY_ORDER ? files.test : files.shuffledTest};
    EngineOptions options;
    options.threads = threads;
    options.memoryBudget = budget;
    measure(state, inputs, order, budget, [&] {
        CountingSink sink;
        const auto outcome = CompareEngine(options).compare({inputs[0]}, {inputs[1]}, sink);
        benchmark::DoNotOptimize(sink.checksum());
        return outcome.windows;
    });
}

/// The whole command as a user runs it, JSON report on, HTML off: headers, staging, the engine, the
/// gathering of the report and its writing. Arguments: reference points, `Order`.
void compareCommand(benchmark::State& state) {
    const auto order = static_cast<Order>(state.range(1));
    const PairFiles files = pairOf(state.range(0));
    const std::array<fs::path, 2> inputs{files.reference,
                                         order == KEY_ORDER ? files.test : files.shuffledTest};
    Compare::CompareOptions options;
    options.reference = inputs[0];
    options.test = inputs[1];
    options.jsonFile = dataFolder() / "report.json";
    options.settings.threads = THREADS;
    options.quiet = true;
    options.progress = false;
    measure(state, inputs, order, 0, [&] {
        std::ostringstream out;
        std::ostringstream err;
        return Compare::runComparison(options, out, err).parameters.windows;
    });
}

/// The pair of `points` reference points as LAZ files, the test in key order and shuffled, written
/// unless an earlier run left them.
PairFiles lazPairOf(std::int64_t points) {
    const PairFiles las = pairOf(points);
    const fs::path folder = dataFolder() / ("laz-" + std::to_string(points));
    PairFiles files{folder / "reference-1.laz", folder / "test-1.laz", {}, folder / "shuffled-test-1.laz"};
    writePairOnce(folder, {files.reference, files.test}, [&](const fs::path& partial) {
        for (const auto& [source, prefix] : {std::pair{las.reference, "reference"}, {las.test, "test"}}) {
            Testing::writeTiles(source, partial, prefix, 1, FileIoInterface::Las::LasCompression::Laz);
        }
    });
    if (!fs::exists(files.shuffledTest)) {
        inChildProcess(folder, [&] {
            const fs::path partial = folder / "partial-shuffled";
            fs::create_directories(partial);
            Testing::writeTiles(las.shuffledTest, partial, "shuffled-test", 1,
                                FileIoInterface::Las::LasCompression::Laz);
            fs::rename(partial / files.shuffledTest.filename(), files.shuffledTest);
            fs::remove_all(partial);
        });
    }
    return files;
}

/// The engine on the LAZ pair. Arguments: reference points, `Order` (key order or test shuffled),
/// memory budget in MiB (0: the default).
void compareLaz(benchmark::State& state) {
    const auto order = static_cast<Order>(state.range(1));
    const auto budget = static_cast<std::uint64_t>(state.range(2)) * MIB;
    const PairFiles files = lazPairOf(state.range(0));
    const std::array<fs::path, 2> inputs{files.reference,
                                         order == KEY_ORDER ? files.test : files.shuffledTest};
    EngineOptions options;
    options.threads = THREADS;
    options.memoryBudget = budget;
    std::uint64_t temporary = 0;
    measure(state, inputs, order, budget, [&] {
        CountingSink sink;
        const auto outcome = CompareEngine(options).compare({inputs[0]}, {inputs[1]}, sink);
        benchmark::DoNotOptimize(sink.checksum());
        temporary = outcome.temporaryBytes;
        return outcome.windows;
    });
    state.counters["temporary_MiB"] = static_cast<double>(temporary) / static_cast<double>(MIB);
}

/// A cloud of `points` points on a half-metre grid, all at GPS time 0 and return 1, and its copy
/// shifted by 5 mm on x and y, written unless an earlier run left them.
std::array<fs::path, 2> oneTimePairOf(std::int64_t points) {
    const fs::path folder = dataFolder() / ("one-time-" + std::to_string(points));
    std::array<fs::path, 2> files{folder / "reference-1.las", folder / "test-1.las"};
    writePairOnce(folder, files, [&](const fs::path& partial) {
        FileIoInterface::Las::LasWriterOptions writerOptions;
        writerOptions.pointFormat = 1;
        writerOptions.versionMinor = 2;
        writerOptions.scaleOffset =
            FileIoInterface::Las::LasScaleOffset{{0.001, 0.001, 0.001}, {0.0, 0.0, 0.0}};
        for (const auto& [prefix, shift] : {std::pair{"reference", 0.0}, {"test", 0.005}}) {
            std::vector<Testing::PointLeg> legs(1);
            for (std::int64_t index = 0; index < points; ++index) {
                // Rows of a thousand points.
                const std::int64_t row = index / 1000;
                legs[0].push_back(Testing::makePoint(0.0, 1, 0.5 * static_cast<double>(index % 1000) + shift,
                                                     0.5 * static_cast<double>(row) + shift));
            }
            Testing::writeLasLegs(partial, prefix, legs, writerOptions, {});
        }
    });
    return files;
}

/// The engine on one key group of every point. Arguments: reference points.
void compareOneTime(benchmark::State& state) {
    const std::array<fs::path, 2> inputs = oneTimePairOf(state.range(0));
    EngineOptions options;
    options.threads = THREADS;
    std::uint64_t unchanged = 0;
    measure(state, inputs, KEY_ORDER, 0, [&] {
        CountingSink sink;
        const auto outcome = CompareEngine(options).compare({inputs[0]}, {inputs[1]}, sink);
        benchmark::DoNotOptimize(sink.checksum());
        unchanged = outcome.count(Compare::Engine::PointClass::unchanged);
        return outcome.windows;
    });
    state.counters["unchanged"] = static_cast<double>(unchanged);
}

/// The generated survey pair of `points` reference points in point format `format`: 0 without GPS
/// time, 1 the same points with it. Written unless an earlier run left it.
std::array<fs::path, 2> formatPairOf(std::int64_t points, std::uint8_t format) {
    const fs::path folder =
        dataFolder() / ("format-" + std::to_string(format) + "-" + std::to_string(points));
    std::array<fs::path, 2> files{folder / "reference-1.las", folder / "test-1.las"};
    writePairOnce(folder, files, [&](const fs::path& partial) {
        Testing::writeSurveyPair(partial, static_cast<std::uint64_t>(points), format);
    });
    return files;
}

/// The engine on a survey pair without GPS time (format 0, paired by position) and on the same pair
/// with it (format 1, paired by time), for their ratio. Arguments: reference points, point format.
void compareWithoutTime(benchmark::State& state) {
    const std::array<fs::path, 2> inputs =
        formatPairOf(state.range(0), static_cast<std::uint8_t>(state.range(1)));
    EngineOptions options;
    options.threads = THREADS;
    Compare::Engine::ComparisonOutcome outcome;
    measure(state, inputs, KEY_ORDER, 0, [&] {
        CountingSink sink;
        outcome = CompareEngine(options).compare({inputs[0]}, {inputs[1]}, sink);
        benchmark::DoNotOptimize(sink.checksum());
        return outcome.windows;
    });
    using Compare::Engine::PointClass;
    for (const auto& [name, pointClass] : {std::pair{"removed", PointClass::removed},
                                           {"added", PointClass::added},
                                           {"modified", PointClass::modified},
                                           {"mutated", PointClass::mutated},
                                           {"altered", PointClass::altered}}) {
        state.counters[name] = static_cast<double>(outcome.count(pointClass));
    }
    state.counters["by_position"] = outcome.pairedByPosition ? 1.0 : 0.0;
}

void registerAll() {
    for (const std::int64_t points : benchmarkSizes("ORVID_ENGINE_BENCH_POINTS", "1M")) {
        benchmark::RegisterBenchmark("compareOneTime", compareOneTime)
            ->ArgNames({"points"})
            ->Args({points})
            ->Iterations(points >= 5000000 ? 1 : 3)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime();
        for (const std::int64_t format : {1, 0}) {
            benchmark::RegisterBenchmark("compareWithoutTime", compareWithoutTime)
                ->ArgNames({"points", "format"})
                ->Args({points, format})
                ->Iterations(points >= 5000000 ? 1 : 3)
                ->Unit(benchmark::kMillisecond)
                ->UseManualTime();
        }
        for (const std::int64_t order : {KEY_ORDER, TEST_SHUFFLED}) {
            benchmark::RegisterBenchmark("compareCommand", compareCommand)
                ->ArgNames({"points", "order"})
                ->Args({points, order})
                ->Iterations(points >= 5000000 ? 1 : 3)
                ->Unit(benchmark::kMillisecond)
                ->UseManualTime();
        }
        for (const std::int64_t order : {KEY_ORDER, TEST_SHUFFLED}) {
            for (const std::int64_t budgetMiB : {0, 16}) {
                benchmark::RegisterBenchmark("compareLaz", compareLaz)
                    ->ArgNames({"points", "order", "budget_MiB"})
                    ->Args({points, order, budgetMiB})
                    ->Iterations(points >= 5000000 ? 1 : 3)
                    ->Unit(benchmark::kMillisecond)
                    ->UseManualTime();
            }
        }
        for (const std::int64_t order : {KEY_ORDER, TEST_SHUFFLED, BOTH_SHUFFLED}) {
            for (const auto& [budgetMiB, threads] : {std::pair{0, 1}, {0, 2}, {256, 2}, {16, 2}}) {
                benchmark::RegisterBenchmark("compareEngine", compareEngine)
                    ->ArgNames({"points", "order", "budget_MiB", "threads"})
                    ->Args({points, order, budgetMiB, threads})
                    ->Iterations(points >= 5000000 ? 1 : 3)
                    ->Unit(benchmark::kMillisecond)
                    ->UseManualTime();
            }
        }
    }
}

const bool REGISTERED = (registerAll(), true);

} // namespace
