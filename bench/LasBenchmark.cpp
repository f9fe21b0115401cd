// Reading and writing 10 Mi-point LAS files (format 1, and format 7 with two extra-bytes attributes),
// beside a plain sequential read of the same file's bytes: the I/O ceiling the point rates compare to.
#include <FileIoInterface/Las/LasPoint.h>
#include <FileIoInterface/Las/LasReader.h>
#include <FileIoInterface/Las/LasWriter.h>

#include "TemporaryFolder.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <unistd.h>
#include <vector>

namespace {

using namespace Orvid::FileIoInterface;
using Las::LasPoint;

constexpr std::size_t POINT_COUNT = std::size_t{10} << 20;
// Points are written from a pool larger than the caches, as from a cloud held in memory.
constexpr std::size_t POOL_SIZE = std::size_t{1} << 20;

const std::filesystem::path& folder() {
    static const TemporaryFolder instance("las-benchmark");
    return instance.path;
}

std::vector<Attribute::Descriptor> attributesOf(std::uint8_t format) {
    if (format != 7) {
        return {};
    }
    Attribute::Descriptor amplitude;
    amplitude.dataType = Attribute::DataType::UInt16;
    amplitude.name = "Amplitude";
    amplitude.scale = 0.01;
    Attribute::Descriptor range;
    range.dataType = Attribute::DataType::Float;
    range.name = "Range";
    return {amplitude, range};
}

// Scan lines of an airborne survey: 200 points a line, one to three returns a pulse.
const std::vector<LasPoint>& pool(std::uint8_t format) {
    static std::map<std::uint8_t, std::vector<LasPoint>> pools;
    std::vector<LasPoint>& points = pools[format];
    if (points.empty()) {
        points.resize(POOL_SIZE);
        for (std::size_t index = 0; index < POOL_SIZE; ++index) {
            LasPoint& point = points[index];
            const double line = std::floor(static_cast<double>(index) / 200.0);
            const double across = static_cast<double>(index % 200) - 100.0;
            point.setX(500000.0 + across * 0.5);
            point.setY(4000000.0 + line * 0.7);
            point.setZ(120.0 + std::sin(across * 0.1) * 5.0);
            point.setTime(300000.0 + static_cast<double>(index) * 2e-6);
            point.setNbReturns(1 + index % 3);
            point.setReturnNumber(1 + index % (1 + index % 3));
            point.setIntensity(static_cast<double>(index % 4096));
            point.setClassification(static_cast<std::uint8_t>(index % 7 == 0 ? 2 : 1));
            point.setScanAngle(across * 0.2);
            point.setSourceId(7);
            point.setSourcePointFormat(format);
            if (format == 7) {
                point.setColor({static_cast<std::uint16_t>(index), 30000, 40000});
                point.values = {Attribute::Value{static_cast<std::uint16_t>(index % 10000)},
                                Attribute::Value{static_cast<float>(800.0 + across)}};
            }
        }
    }
    return points;
}

std::filesystem::path writeFile(std::uint8_t format, const std::string& name) {
    Las::LasWriterOptions options;
    options.versionMinor = format == 1 ? 2 : 4;
    options.pointFormat = format;
    options.scaleOffset = Las::LasScaleOffset{{0.001, 0.001, 0.001}, {500000.0, 4000000.0, 0.0}};
    Las::LasWriter writer(folder(), options);
    LegInformation leg(attributesOf(format));
    leg.name = name;
    writer.beginLeg(leg);
    const std::vector<LasPoint>& points = pool(format);
    for (std::size_t index = 0; index < POINT_COUNT; ++index) {
        if (!writer.write(points[index % POOL_SIZE])) {
            std::fprintf(stderr, "write failed: %s\n", writer.write(points[0]).message().c_str());
            std::abort();
        }
    }
    writer.endLeg();
    return writer.writtenFiles().back();
}

const std::filesystem::path& inputFile(std::uint8_t format) {
    static std::map<std::uint8_t, std::filesystem::path> files;
    std::filesystem::path& path = files[format];
    if (path.empty()) {
        path = writeFile(format, "input-format" + std::to_string(format));
    }
    return path;
}

// Points per second of the plain read, by format, for the ratio the point readers report.
std::map<std::uint8_t, double> ceilingRates;

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

/// Reports points per second and returns them.
double reportPoints(benchmark::State& state, double seconds) {
    const double points = static_cast<double>(state.iterations()) * static_cast<double>(POINT_COUNT);
    state.SetItemsProcessed(static_cast<std::int64_t>(points));
    const double rate = seconds > 0.0 ? points / seconds : 0.0;
    state.counters["Mpoints/s"] = rate / 1e6;
    return rate;
}

void reportShareOfCeiling(benchmark::State& state, std::uint8_t format, double rate) {
    if (ceilingRates.count(format) != 0) {
        state.counters["of_plain_read"] = rate / ceilingRates[format];
    }
}

void BM_LasWrite(benchmark::State& state) {
    const auto format = static_cast<std::uint8_t>(state.range(0));
    pool(format);
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        writeFile(format, "write-format" + std::to_string(format));
    }
    reportPoints(state, secondsSince(start));
}

void BM_PlainSequentialRead(benchmark::State& state) {
    const auto format = static_cast<std::uint8_t>(state.range(0));
    const std::filesystem::path& path = inputFile(format);
    std::vector<unsigned char> buffer(std::size_t{1} << 20);
    std::size_t bytes = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        bytes = 0;
        std::size_t read = 0;
        while ((read = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) {
            bytes += read;
            benchmark::DoNotOptimize(buffer.data());
        }
        std::fclose(file);
    }
    const double seconds = secondsSince(start);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
    ceilingRates[format] = reportPoints(state, seconds);
}

// Every point handed out as its own object, as the library's consumers receive them.
void BM_LasReadPoints(benchmark::State& state) {
    const auto format = static_cast<std::uint8_t>(state.range(0));
    const std::filesystem::path& path = inputFile(format);
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        Las::LasReader reader({path});
        reader.nextLeg();
        while (reader.hasMorePoints()) {
            std::unique_ptr<InputOutputPoint> point = reader.nextPoint();
            benchmark::DoNotOptimize(point.get());
        }
    }
    reportShareOfCeiling(state, format, reportPoints(state, secondsSince(start)));
}

// Decoding into one reused point: the reader's own cost without a point allocation each.
void BM_LasReadIntoOnePoint(benchmark::State& state) {
    const auto format = static_cast<std::uint8_t>(state.range(0));
    const std::filesystem::path& path = inputFile(format);
    LasPoint point;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        Las::LasReader reader({path});
        reader.nextLeg();
        while (reader.hasMorePoints()) {
            reader.readPoint(point);
            benchmark::DoNotOptimize(&point);
        }
    }
    reportShareOfCeiling(state, format, reportPoints(state, secondsSince(start)));
}

void BM_SizeOfLasPoint(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(sizeof(LasPoint));
    }
    state.counters["sizeof(LasPoint)"] = static_cast<double>(sizeof(LasPoint));
}

BENCHMARK(BM_SizeOfLasPoint)->Iterations(1);
BENCHMARK(BM_LasWrite)->Arg(1)->Arg(7)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_PlainSequentialRead)
    ->Arg(1)
    ->Arg(7)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK(BM_LasReadPoints)->Arg(1)->Arg(7)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_LasReadIntoOnePoint)
    ->Arg(1)
    ->Arg(7)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

} // namespace
