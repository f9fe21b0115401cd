// Reading a 10 Mi-point LAZ file (format 1, 210 chunks of 50 000 points) with one and two decoding
// threads, beside the LAS read of the same records: the baseline the LAZ rates are reported against.
// The LAZ file repeats the chunks of the shared synthetic_pf1_300k.laz (chunks are independent) under
// a rebuilt chunk table; the LAS file holds the records those chunks decode to.
#include "Laz/LazChunkReader.h"
#include "LazEncoder.h"

#include <FileIoInterface/Las/LasHeader.h>
#include <FileIoInterface/Las/LasPoint.h>
#include <FileIoInterface/Las/LasReader.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace {

using namespace Orvid::FileIoInterface;
using Orvid::Testing::Las::LazEncoder;
using Orvid::Testing::Las::LazIntegerEncoder;

constexpr std::size_t CHUNK_COUNT = 210;
constexpr std::size_t CHUNK_POINTS = 50000;
constexpr std::uint64_t POINT_COUNT = CHUNK_COUNT * CHUNK_POINTS;

class BenchmarkFolder {
public:
    BenchmarkFolder()
        : mPath(std::filesystem::temp_directory_path() / ("laz-benchmark-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(mPath);
    }
    ~BenchmarkFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(mPath, ignored);
    }
    const std::filesystem::path& path() const { return mPath; }

private:
    std::filesystem::path mPath;
};

template <typename T>
void put(std::vector<std::uint8_t>& bytes, std::size_t offset, T value) {
    std::memcpy(&bytes.at(offset + sizeof(T) - 1) - (sizeof(T) - 1), &value, sizeof(T));
}

struct Inputs {
    std::filesystem::path laz;
    std::filesystem::path las;
};

void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& head,
               const std::vector<std::vector<std::uint8_t>>& blocks, std::size_t count,
               const std::vector<std::uint8_t>& tail) {
    std::ofstream stream(path, std::ios::binary | std::ios::trunc);
    stream.write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
    for (std::size_t index = 0; index < count; ++index) {
        const std::vector<std::uint8_t>& block = blocks[index % blocks.size()];
        stream.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
    }
    stream.write(reinterpret_cast<const char*>(tail.data()), static_cast<std::streamsize>(tail.size()));
}

const Inputs& inputs() {
    static const BenchmarkFolder folder;
    static Inputs files;
    if (!files.laz.empty()) {
        return files;
    }
    const std::filesystem::path source = std::filesystem::path(LAZ_SAMPLE_DIR) / "synthetic_pf1_300k.laz";
    const Las::LasHeader header = Las::readLasHeader(source);
    const Las::Laz::LazChunkReader chunks(source, header);
    std::ifstream stream(source, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(stream),
                                          std::istreambuf_iterator<char>()};

    std::vector<std::vector<std::uint8_t>> compressed;
    std::vector<std::vector<std::uint8_t>> records;
    for (std::size_t index = 0; index < chunks.chunks().size(); ++index) {
        const Las::Laz::LazChunk& chunk = chunks.chunks()[index];
        const auto begin = bytes.begin() + static_cast<std::ptrdiff_t>(chunk.byteOffset);
        compressed.emplace_back(begin, begin + static_cast<std::ptrdiff_t>(chunk.byteCount));
        records.emplace_back();
        chunks.decodeChunk(index, records.back());
    }

    std::vector<std::uint8_t> head(bytes.begin(), bytes.begin() + header.offsetToPointData);
    const auto count = static_cast<std::uint32_t>(POINT_COUNT);
    put(head, 107, count);
    std::vector<std::uint8_t> las = head;
    las[104] &= 0x3F;
    files.las = folder.path() / "records.las";
    writeFile(files.las, las, records, CHUNK_COUNT, {});

    std::int64_t table = static_cast<std::int64_t>(header.offsetToPointData) + 8;
    // The table: each chunk's byte count predicted from the one before (context 1 of two).
    LazEncoder encoder;
    LazIntegerEncoder sizes(32, 2);
    std::uint32_t last = 0;
    for (std::size_t index = 0; index < CHUNK_COUNT; ++index) {
        const auto size = static_cast<std::uint32_t>(compressed[index % compressed.size()].size());
        table += size;
        sizes.encode(encoder, static_cast<std::int32_t>(last), static_cast<std::int32_t>(size), 1);
        last = size;
    }
    head.resize(head.size() + 8);
    put(head, header.offsetToPointData, table);
    std::vector<std::uint8_t> tail(8);
    const auto chunkCount = static_cast<std::uint32_t>(CHUNK_COUNT);
    put(tail, 4, chunkCount);
    const std::vector<std::uint8_t> entries = encoder.finish();
    tail.insert(tail.end(), entries.begin(), entries.end());
    files.laz = folder.path() / "chunks.laz";
    writeFile(files.laz, head, compressed, CHUNK_COUNT, tail);
    return files;
}

double lasRate = 0.0;

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double report(benchmark::State& state, double seconds) {
    const double points = static_cast<double>(state.iterations()) * static_cast<double>(POINT_COUNT);
    state.SetItemsProcessed(static_cast<std::int64_t>(points));
    const double rate = seconds > 0.0 ? points / seconds : 0.0;
    state.counters["Mpoints/s"] = rate / 1e6;
    if (lasRate > 0.0) {
        state.counters["of_las_read"] = rate / lasRate;
    }
    return rate;
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

// Points through the reader, with the given number of decoding threads.
void BM_LazRead(benchmark::State& state) {
    const Inputs& files = inputs();
    const auto threads = static_cast<std::size_t>(state.range(0));
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        readAll(files.laz, threads);
    }
    report(state, secondsSince(start));
}

// The decoder alone: every chunk into raw records on the caller's thread.
void BM_LazDecodeChunks(benchmark::State& state) {
    const Inputs& files = inputs();
    const Las::Laz::LazChunkReader chunks(files.laz, Las::readLasHeader(files.laz));
    std::vector<std::uint8_t> records;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        for (std::size_t index = 0; index < chunks.chunks().size(); ++index) {
            chunks.decodeChunk(index, records);
            benchmark::DoNotOptimize(records.data());
        }
    }
    report(state, secondsSince(start));
}

BENCHMARK(BM_LasRead)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_LazDecodeChunks)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_LazRead)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace
