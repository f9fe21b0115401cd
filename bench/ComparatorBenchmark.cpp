// Comparisons of generated airborne clouds held in memory, beside a baseline that only drains the two
// readers, so that the comparator's own cost reads as a ratio. Also reports the memory the comparator
// holds per reference point beyond the point objects themselves.
#include "SyntheticClouds.h"

#include <FileIoInterface/Readers/PointCloud/Comparator.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <malloc.h>
#include <new>

namespace {

// Heap bytes in use and their peak, counted by the replaced global allocation functions below.
std::size_t gBytesInUse = 0;
std::size_t gPeakBytes = 0;

} // namespace

void* operator new(std::size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    gBytesInUse += malloc_usable_size(block);
    gPeakBytes = std::max(gPeakBytes, gBytesInUse);
    return block;
}

void operator delete(void* block) noexcept {
    if (block != nullptr) {
        gBytesInUse -= malloc_usable_size(block);
        std::free(block);
    }
}

void operator delete(void* block, std::size_t) noexcept {
    operator delete(block);
}

namespace {

using Orvid::FileIoInterface::Readers::PointCloud::Comparator;
using Orvid::FileIoInterface::Readers::PointCloud::PointCloudReader;
using Orvid::SyntheticSurvey::ChangePlan;
using Orvid::SyntheticSurvey::SurveyParameters;
using Orvid::Testing::generatedCloud;
using Clock = std::chrono::steady_clock;

constexpr std::size_t LEGS = 4;
constexpr std::size_t CAPACITY = 65536;
constexpr double EPSILON = 0.01;

SurveyParameters surveyOf(std::int64_t points) {
    return {LEGS, static_cast<std::uint64_t>(points) / LEGS, 42};
}

ChangePlan planOf(bool changed) {
    // 1 % moved, 1 % with a changed attribute, 0.5 % removed and 0.5 % added.
    return changed ? ChangePlan{0.01, 0.01, 0.0, 0.005, 0.005, 0.05} : ChangePlan{};
}

void drain(PointCloudReader& reader) {
    while (reader.hasMoreLegs()) {
        reader.nextLeg();
        while (reader.hasMorePoints()) {
            benchmark::DoNotOptimize(reader.nextPoint());
        }
    }
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void compare(benchmark::State& state) {
    const SurveyParameters survey = surveyOf(state.range(0));
    const ChangePlan plan = planOf(state.range(1) != 0);
    double drainSeconds = 0.0;
    double compareSeconds = 0.0;
    double bytesPerReferencePoint = 0.0;
    std::uint64_t testPoints = 0;
    for (auto _ : state) {
        state.PauseTiming();
        {
            auto reference = generatedCloud(survey);
            auto test = generatedCloud(survey, plan);
            const auto start = Clock::now();
            drain(reference);
            drain(test);
            drainSeconds += secondsSince(start);
        }
        auto reference = generatedCloud(survey);
        auto test = generatedCloud(survey, plan);
        const std::uint64_t referencePoints = reference.numberOfPoints();
        testPoints += test.numberOfPoints();
        const std::size_t bytesBefore = gBytesInUse;
        gPeakBytes = bytesBefore;
        const auto start = Clock::now();
        state.ResumeTiming();
        {
            const Comparator comparator(reference, test, CAPACITY, EPSILON, Comparator::defaultOptions(), 0);
            benchmark::DoNotOptimize(comparator.getAdded().size());
        }
        state.PauseTiming();
        compareSeconds += secondsSince(start);
        // Point objects only leave the readers during the comparison, so what the heap grew by is the
        // comparator's own: tree and list nodes.
        bytesPerReferencePoint =
            static_cast<double>(gPeakBytes - bytesBefore) / static_cast<double>(referencePoints);
        state.ResumeTiming();
    }
    state.counters["test_points_per_s"] =
        benchmark::Counter(static_cast<double>(testPoints), benchmark::Counter::kIsRate);
    state.counters["bytes_per_reference_point"] = bytesPerReferencePoint;
    state.counters["x_drain_only"] = compareSeconds / drainSeconds;
}

void drainOnly(benchmark::State& state) {
    const SurveyParameters survey = surveyOf(state.range(0));
    const ChangePlan plan = planOf(state.range(1) != 0);
    std::uint64_t testPoints = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto reference = generatedCloud(survey);
        auto test = generatedCloud(survey, plan);
        testPoints += test.numberOfPoints();
        state.ResumeTiming();
        drain(reference);
        drain(test);
    }
    state.counters["test_points_per_s"] =
        benchmark::Counter(static_cast<double>(testPoints), benchmark::Counter::kIsRate);
}

// Generating the clouds takes longer than comparing them, so each size runs a fixed, small number of
// iterations.
void registerAll() {
    for (const auto& [name, function] :
         {std::pair{"drainOnly", &drainOnly}, std::pair{"compare", &compare}}) {
        for (const std::int64_t changed : {0, 1}) {
            for (const auto& [points, iterations] : {std::pair{64 << 10, 10}, {1 << 20, 3}, {4 << 20, 1}}) {
                benchmark::RegisterBenchmark(name, function)
                    ->ArgNames({"points", "changed"})
                    ->Args({points, changed})
                    ->Iterations(iterations)
                    ->Unit(benchmark::kMillisecond)
                    ->UseRealTime();
            }
        }
    }
}

const bool REGISTERED = (registerAll(), true);

} // namespace
