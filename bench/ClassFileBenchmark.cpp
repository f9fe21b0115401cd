// orvid-compare with --out on a generated LAZ pair whose every point lands in a class file: the test's
// GPS times are shifted past the survey's span, so each reference point is removed and each test point
// added. Each iteration runs the command once with LAS class files and once with LAZ class files, in
// alternating order, and the LAZ run's time reads as a ratio to the LAS run's of the same iteration.
// Also reports each run's peak anonymous resident memory (RssAnon, sampled).
//
// Sizes: ORVID_CLASS_FILE_BENCH_POINTS, reference points with an optional K or M suffix (default "10M").
// The pair is generated once into ORVID_CLASS_FILE_BENCH_DATA (default <temp>/orvid-class-file-bench)
// and kept for later runs.
#include "BenchmarkSupport.h"
#include "Command/CompareCommand.h"
#include "LasCloudFiles.h"
#include "RssAnonSampler.h"

#include <FileIoInterface/Las/LasCarriedFields.h>
#include <FileIoInterface/Las/LasPoint.h>
#include <FileIoInterface/Las/LasReader.h>
#include <FileIoInterface/Las/LasWriter.h>

#include <benchmark/benchmark.h>

#include <malloc.h>

namespace {

namespace fs = std::filesystem;
using namespace Orvid;
namespace Las = FileIoInterface::Las;

constexpr unsigned THREADS = 2;
constexpr double MIB = 1024.0 * 1024.0;
/// Further than any generated survey's span of GPS times.
constexpr double TIME_SHIFT = 1.0e7;

fs::path dataFolder() {
    const char* folder = std::getenv("ORVID_CLASS_FILE_BENCH_DATA");
    return folder != nullptr ? fs::path(folder) : fs::temp_directory_path() / "orvid-class-file-bench";
}

/// Writes `source` again as the LAZ file `target`, header fields and records carried over.
void compressCopy(const fs::path& source, const fs::path& target) {
    Las::LasReader reader({source});
    Las::LasWriterOptions options;
    options.compression = Las::LasCompression::Laz;
    options.threads = THREADS;
    Las::LasWriter writer(target.parent_path(), options);
    FileIoInterface::LegInformation leg = reader.nextLeg();
    leg.name = target.stem().string();
    writer.beginLeg(leg, Las::carriedFieldsOf(reader.header(0)));
    Las::LasPoint point;
    while (reader.hasMorePoints()) {
        reader.readPoint(point);
        writer << point;
    }
    writer.endLeg();
}

/// The reference and test LAZ files of a one-leg survey of `points` points (1 % of each change in the
/// test), written unless an earlier run left them.
std::array<fs::path, 2> lazPairOf(std::int64_t points) {
    const fs::path folder = dataFolder() / std::to_string(points);
    std::array<fs::path, 2> files{folder / "reference.laz", folder / "test.laz"};
    if (fs::exists(files[0]) && fs::exists(files[1])) {
        return files;
    }
    inChildProcess(folder, [&] {
        const fs::path partial = folder / "partial";
        fs::remove_all(partial);
        fs::create_directories(partial);
        const std::array<fs::path, 2> stored =
            Testing::writeSurveyPair(partial, static_cast<std::uint64_t>(points));
        for (std::size_t index = 0; index < files.size(); ++index) {
            compressCopy(stored[index], partial / files[index].filename());
            fs::rename(partial / files[index].filename(), files[index]);
        }
        fs::remove_all(partial);
    });
    return files;
}

struct RunFigures {
    double seconds = 0.0;
    std::uint64_t peakRssAnon = 0;
};

/// One run of the command writing its class files in `format` into a fresh folder.
RunFigures runWithClassFiles(const std::array<fs::path, 2>& inputs, Compare::ClassFileFormat format) {
    Compare::CompareOptions options;
    options.reference = inputs[0];
    options.test = inputs[1];
    options.outDirectory = dataFolder() / (format == Compare::ClassFileFormat::laz ? "out-laz" : "out-las");
    options.settings.threads = THREADS;
    options.settings.timeOffset = TIME_SHIFT;
    options.settings.outFormat = format;
    options.quiet = true;
    options.progress = false;
    fs::remove_all(*options.outDirectory);
    ::malloc_trim(0);
    RssAnonSampler sampler;
    const auto start = std::chrono::steady_clock::now();
    std::ostringstream out;
    std::ostringstream err;
    Compare::runComparison(options, out, err);
    RunFigures figures{secondsSince(start), 0};
    figures.peakRssAnon = sampler.stop();
    return figures;
}

/// Arguments: reference points.
void classFilesLazAgainstLas(benchmark::State& state) {
    const std::array<fs::path, 2> inputs = lazPairOf(state.range(0));
    // Brings both files into the page cache.
    runWithClassFiles(inputs, Compare::ClassFileFormat::las);
    RunFigures las;
    RunFigures laz;
    bool lazFirst = false;
    for (auto _ : state) {
        for (const bool lazRun : {lazFirst, !lazFirst}) {
            const RunFigures run = runWithClassFiles(inputs, lazRun ? Compare::ClassFileFormat::laz
                                                                    : Compare::ClassFileFormat::las);
            RunFigures& total = lazRun ? laz : las;
            total.seconds += run.seconds;
            total.peakRssAnon = std::max(total.peakRssAnon, run.peakRssAnon);
            if (lazRun) {
                state.SetIterationTime(run.seconds);
            }
        }
        lazFirst = !lazFirst;
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["las_s"] = las.seconds / iterations;
    state.counters["laz_s"] = laz.seconds / iterations;
    state.counters["x_las"] = laz.seconds / las.seconds;
    state.counters["x_limit"] = 1.3;
    state.counters["las_peak_rss_anon_MiB"] = static_cast<double>(las.peakRssAnon) / MIB;
    state.counters["laz_peak_rss_anon_MiB"] = static_cast<double>(laz.peakRssAnon) / MIB;
}

void registerAll() {
    for (const std::int64_t points : benchmarkSizes("ORVID_CLASS_FILE_BENCH_POINTS", "10M")) {
        benchmark::RegisterBenchmark("classFilesLazAgainstLas", classFilesLazAgainstLas)
            ->ArgNames({"points"})
            ->Args({points})
            ->Iterations(3)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime();
    }
}

const bool REGISTERED = (registerAll(), true);

} // namespace
