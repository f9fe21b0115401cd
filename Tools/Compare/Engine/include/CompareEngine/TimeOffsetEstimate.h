#pragma once

#include <CompareEngine/EngineOptions.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace Orvid::Compare::Engine {

/// A constant offset between the GPS times of two clouds of the same points, as seen from a sample.
struct TimeOffsetEstimate {
    /// Seconds to add to the test times (`EngineOptions::timeOffset`): the most frequent difference
    /// reference time − test time over the sampled test points, each with its nearest reference point;
    /// the median difference when no two agree.
    double offset = 0.0;
    /// Test points sampled (those with a time and finite coordinates).
    std::uint64_t sampled = 0;
    /// Of those, the ones that had a reference point within epsilon on every axis.
    std::uint64_t matched = 0;
    /// Of those, the ones whose difference is `offset` exactly.
    std::uint64_t agreeing = 0;
};

/// Estimates the offset between the times of `test` and `reference` from up to `samples` test points
/// spread evenly over the test input, each matched with the nearest reference point within the
/// options' epsilons (all reference points are read once, on one thread; only the sample is held).
/// Absent when no sampled point has a reference point that near: the clouds do not overlap. Throws
/// Core::IOException, with a message that starts with the file's path, when a file cannot be read.
std::optional<TimeOffsetEstimate> estimateTimeOffset(const std::vector<std::filesystem::path>& reference,
                                                     const std::vector<std::filesystem::path>& test,
                                                     const EngineOptions& options,
                                                     std::size_t samples = 4096);

} // namespace Orvid::Compare::Engine
