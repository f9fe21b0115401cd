// Reading a 10 Mi-point LAZ file (format 1, 210 chunks of 50 000 points) with one and two decoding
// threads, and decoding its chunks alone, beside the LAS read of the same records: the baseline the LAZ
// rates are reported against.
// The LAZ file repeats the chunks of the sample synthetic_pf1_300k.laz (chunks are independent) under
// a rebuilt chunk table; the LAS file holds the records those chunks decode to. The layered chunks of
// formats 6 to 10 are decoded and encoded apart, from a sample of format 6.
#include "BenchmarkSupport.h"
#include "Laz/ChunkEncoder.h"
#include "Laz/ChunkPipeline.h"
#include "Laz/LazChunkReader.h"
#include "LazChunkFiles.h"
#include "RssAnonSampler.h"
#include "TemporaryFolder.h"

#include <FileIoInterface/Las/LasHeader.h>
#include <FileIoInterface/Las/LasPoint.h>
#include <FileIoInterface/Las/LasReader.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

namespace {

using namespace Orvid::FileIoInterface;

constexpr std::size_t CHUNK_COUNT = 210;
constexpr std::size_t CHUNK_POINTS = 50000;
constexpr std::uint64_t POINT_COUNT = CHUNK_COUNT * CHUNK_POINTS;

struct Inputs {
    std::filesystem::path laz;
    std::filesystem::path las;
};

const Inputs& inputs() {
    static const TemporaryFolder folder("laz-benchmark");
    static Inputs files;
    if (files.laz.empty()) {
        files = {folder / "chunks.laz", folder / "records.las"};
        std::vector<std::size_t> chunks(CHUNK_COUNT);
        for (std::size_t index = 0; index < CHUNK_COUNT; ++index) {
            chunks[index] = index % 6;
        }
        Orvid::Testing::Las::writeLazFromChunks(
            std::filesystem::path(LAZ_SAMPLE_DIR) / "synthetic_pf1_300k.laz", chunks, files.laz, files.las);
    }
    return files;
}

double lasRate = 0.0;

double report(benchmark::State& state, double seconds) {
    return reportPointRate(state, seconds, POINT_COUNT, lasRate, "of_las_read");
}

void readAll(const std::filesystem::path& path, std::size_t threads) {
    Las::LasReader reader({path});
    reader.setThreads(threads);
    reader.nextLeg();
    Las::LasPoint point;
    std::uint64_t count = 0;
    while (reader.hasMorePoints()) {
        reader.readPoint(point);
        benchmark::DoNotOptimize(&point);
        ++count;
    }
    if (count != POINT_COUNT) {
        std::fprintf(stderr, "read %llu points\n", static_cast<unsigned long long>(count));
        std::abort();
    }
}

// The baseline: the same records read from a LAS file.
void BM_LasRead(benchmark::State& state) {
    const Inputs& files = inputs();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        readAll(files.las, 1);
    }
    lasRate = report(state, secondsSince(start));
}

// Points through the reader, with the given number of decoding threads. The process's peak anonymous
// resident memory is taken in one more read after the timed ones, so that sampling it costs them nothing.
void BM_LazRead(benchmark::State& state) {
    const Inputs& files = inputs();
    const auto threads = static_cast<std::size_t>(state.range(0));
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        readAll(files.laz, threads);
    }
    report(state, secondsSince(start));
    RssAnonSampler sampler;
    readAll(files.laz, threads);
    state.counters["peak_RssAnon_MiB"] = static_cast<double>(sampler.stop()) / (1024.0 * 1024.0);
}

// The decoder alone: every chunk into raw records, by the build of the decoder that this processor runs
// best (first argument 0) or by the portable build (1), through the reader's pipeline with the given
// number of decoding threads (second argument).
void BM_LazDecodeChunks(benchmark::State& state) {
    const Inputs& files = inputs();
    const Las::Laz::DecoderBuild build =
        state.range(0) == 0 ? Las::Laz::fastestDecoderBuild() : Las::Laz::DecoderBuild::Portable;
    const auto chunks =
        std::make_shared<const Las::Laz::LazChunkReader>(files.laz, Las::readLasHeader(files.laz), build);
    std::vector<std::uint8_t> records;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        Las::Laz::ChunkPipeline pipeline(chunks, static_cast<std::size_t>(state.range(1)));
        while (pipeline.next(records)) {
            benchmark::DoNotOptimize(records.data());
        }
    }
    report(state, secondsSince(start));
}

// The layered items of formats 6 to 10: the six chunks of synthetic_pf6_300k.laz (300 000 points,
// scanner channel changing at every sweep), decoded by the fastest decoder build, and encoded back from
// the records they decode to.
const Las::Laz::LazChunkReader& layeredChunks() {
    static const std::filesystem::path path =
        std::filesystem::path(LAZ_SAMPLE_DIR) / "synthetic_pf6_300k.laz";
    static const Las::Laz::LazChunkReader reader(path, Las::readLasHeader(path));
    return reader;
}

void reportLayered(benchmark::State& state, std::size_t points) {
    const double total = static_cast<double>(state.iterations()) * static_cast<double>(points);
    state.SetItemsProcessed(static_cast<std::int64_t>(total));
    state.counters["Mpoints/s"] = benchmark::Counter(total / 1e6, benchmark::Counter::kIsRate);
}

void BM_LazDecodeLayered(benchmark::State& state) {
    const Las::Laz::LazChunkReader& reader = layeredChunks();
    std::vector<std::uint8_t> records;
    std::size_t points = 0;
    for (auto _ : state) {
        points = 0;
        for (std::size_t index = 0; index < reader.chunks().size(); ++index) {
            reader.decodeChunk(index, records);
            benchmark::DoNotOptimize(records.data());
            points += records.size() / reader.recordLength();
        }
    }
    reportLayered(state, points);
}

void BM_LazEncodeLayered(benchmark::State& state) {
    const Las::Laz::LazChunkReader& reader = layeredChunks();
    std::vector<std::vector<std::uint8_t>> chunks(reader.chunks().size());
    std::size_t points = 0;
    for (std::size_t index = 0; index < chunks.size(); ++index) {
        reader.decodeChunk(index, chunks[index]);
        points += chunks[index].size() / reader.recordLength();
    }
    const Las::Laz::ChunkEncoder encoder(reader.description(), reader.recordLength());
    for (auto _ : state) {
        for (const std::vector<std::uint8_t>& records : chunks) {
            const std::vector<std::uint8_t> bytes =
                encoder.encode(records.data(), records.size() / reader.recordLength());
            benchmark::DoNotOptimize(bytes.data());
        }
    }
    reportLayered(state, points);
}

BENCHMARK(BM_LasRead)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
// Before the decoder alone, whose two-thread run leaves malloc arenas behind that would count in the
// reader's peak RssAnon.
BENCHMARK(BM_LazRead)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_LazDecodeChunks)
    ->Args({0, 1})
    ->Args({1, 1})
    ->Args({0, 2})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK(BM_LazDecodeLayered)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_LazEncodeLayered)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

} // namespace
