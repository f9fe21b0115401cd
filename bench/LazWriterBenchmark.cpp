// The writer's LAZ output against its LAS output in the same run: the same points (format 1, the
// records of the sample synthetic_pf1_300k.laz, four times over) written as LAS, then as LAZ with one
// and two compressing threads; and a LAS file of 10 M points converted to LAZ, reader to writer, beside
// its copy as LAS.
#include "BenchmarkSupport.h"
#include "LazChunkFiles.h"
#include "TemporaryFolder.h"

#include <FileIoInterface/Las/LasCarriedFields.h>
#include <FileIoInterface/Las/LasHeader.h>
#include <FileIoInterface/Las/LasPoint.h>
#include <FileIoInterface/Las/LasReader.h>
#include <FileIoInterface/Las/LasWriter.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <vector>

namespace {

using namespace Orvid::FileIoInterface;

constexpr std::size_t REPEATS = 4;
constexpr std::size_t CONVERTED_CHUNKS = 200;
constexpr std::uint64_t CONVERTED_POINTS = CONVERTED_CHUNKS * 50000;

const std::filesystem::path SAMPLE = std::filesystem::path(LAZ_SAMPLE_DIR) / "synthetic_pf1_300k.laz";

const TemporaryFolder& folder() {
    static const TemporaryFolder temporary("laz-writer-benchmark");
    return temporary;
}

const std::vector<Las::LasPoint>& points() {
    static const std::vector<Las::LasPoint> read = [] {
        std::vector<Las::LasPoint> all;
        Las::LasReader reader({SAMPLE});
        reader.nextLeg();
        Las::LasPoint point;
        while (reader.hasMorePoints()) {
            reader.readPoint(point);
            all.push_back(point);
        }
        return all;
    }();
    return read;
}

/// A LAS file of 10 M format-1 points: the records of 200 chunks of the sample.
const std::filesystem::path& convertedLas() {
    static const std::filesystem::path las = [] {
        std::vector<std::size_t> chunks(CONVERTED_CHUNKS);
        for (std::size_t index = 0; index < CONVERTED_CHUNKS; ++index) {
            chunks[index] = index % 6;
        }
        Orvid::Testing::Las::writeLazFromChunks(SAMPLE, chunks, folder() / "source.laz",
                                                folder() / "source.las");
        return folder() / "source.las";
    }();
    return las;
}

Las::LasWriterOptions optionsFor(bool laz, std::size_t threads) {
    Las::LasWriterOptions options;
    options.versionMinor = 2;
    options.pointFormat = 1;
    options.compression = laz ? Las::LasCompression::Laz : Las::LasCompression::Las;
    options.threads = threads;
    return options;
}

double lasWriteRate = 0.0;
double lasCopyRate = 0.0;

// Argument 0: LAS; 1 or 2: LAZ compressed on that many threads.
void BM_WritePoints(benchmark::State& state) {
    const std::vector<Las::LasPoint>& all = points();
    const auto threads = static_cast<std::size_t>(state.range(0));
    const Las::LasWriterOptions options = optionsFor(threads > 0, std::max<std::size_t>(threads, 1));
    LegInformation leg;
    leg.name = "written";
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        Las::LasWriter writer(folder() / "write", options);
        writer.beginLeg(leg);
        for (std::size_t repeat = 0; repeat < REPEATS; ++repeat) {
            for (const Las::LasPoint& point : all) {
                writer << point;
            }
        }
        writer.endLeg();
    }
    const double rate = reportPointRate(state, secondsSince(start), all.size() * REPEATS,
                                        threads > 0 ? lasWriteRate : 0.0, "of_las");
    if (threads == 0) {
        lasWriteRate = rate;
    }
}

// Reader to writer; argument 0: a LAS copy; 1 or 2: LAZ compressed on that many threads.
void BM_ConvertLasFile(benchmark::State& state) {
    const std::filesystem::path& source = convertedLas();
    const auto threads = static_cast<std::size_t>(state.range(0));
    const Las::LasWriterOptions options = optionsFor(threads > 0, std::max<std::size_t>(threads, 1));
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        Las::LasReader reader({source});
        Las::LasWriter writer(folder() / "converted", options);
        writer.beginLeg(reader.nextLeg(), Las::carriedFieldsOf(reader.header(0)));
        Las::LasPoint point;
        while (reader.hasMorePoints()) {
            reader.readPoint(point);
            writer << point;
        }
        writer.endLeg();
    }
    const double rate = reportPointRate(state, secondsSince(start), CONVERTED_POINTS,
                                        threads > 0 ? lasCopyRate : 0.0, "of_las");
    if (threads == 0) {
        lasCopyRate = rate;
    }
}

BENCHMARK(BM_WritePoints)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK(BM_ConvertLasFile)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

} // namespace
