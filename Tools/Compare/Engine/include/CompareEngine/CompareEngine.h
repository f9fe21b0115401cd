#pragma once

#include <CompareEngine/ComparisonOutcome.h>
#include <CompareEngine/DecisionSink.h>
#include <CompareEngine/EngineOptions.h>
#include <CompareEngine/InputParts.h>
#include <CompareEngine/Progress.h>
#include <CompareEngine/Window.h>

#include <array>
#include <filesystem>
#include <vector>

namespace Orvid::Compare::Engine {

/// Compares a reference and a test point cloud, each a list of LAS files (one leg per file), with the
/// answers of the library's comparator, in bounded memory and on several threads.
///
/// Points pair by key: GPS time and return number (and scanner channel with `pairByChannel`); legs
/// are not kept apart. Times compare as numbers (-0 equals +0), test times shifted by
/// `EngineOptions::timeOffset`. For each test point, in reading order, among the reference points of
/// its key not yet paired, in reading order: the first within the horizontal and vertical epsilons
/// pairs with it (unchanged, mutated or altered under the options' tolerances; with every tolerance 0
/// and `identicalBitsEqual` false, by the library's rules); else
/// exactly one such reference point makes it modified and is consumed; else it is added. Reference
/// points left over are removed. Where a key repeats inside an input, reading order (legs in list
/// order, records in file order) ranks its points; for an input in key order that is the library's
/// order too.
///
/// A point whose GPS time is NaN pairs only with NaN-time points of the same return number (and
/// channel), in reading order. The library orders such a point as equal to every time, so what it
/// pairs them with depends on the shape of its tree; `ComparisonOutcome::hasNanTimes` says when this
/// applies.
///
/// Inputs in key order (detected by a first pass over the keys) stream through in one pass, in
/// bounded memory. Any other input is paired through a key index of 16 bytes per point (time, return
/// number and channel, record position) sorted in linear time, its records read back by position;
/// when the index does not fit the memory budget, the comparison runs in consecutive GPS-time
/// windows, with the same results (see `EngineOptions::memoryBudget`). NaN-time points form windows
/// of their own, after all others. The work is shared by `EngineOptions::threads` threads. A key of
/// many points finds its candidates through a grid of cells sized by epsilon, with the same result as
/// a scan in reading order.
class CompareEngine {
public:
    explicit CompareEngine(const EngineOptions& options);

    /// Compares `reference` with `test`, handing every decided point to `sink` (see `DecisionSink`
    /// for threads and order), and returns the totals. Throws Core::IOException, with a message that
    /// starts with the file's path, when a file cannot be read; std::invalid_argument when an input
    /// holds more than 2^58 points. Rethrows what `sink` or `progress` throws.
    ComparisonOutcome compare(const std::vector<std::filesystem::path>& reference,
                              const std::vector<std::filesystem::path>& test, DecisionSink& sink,
                              const ProgressCallback& progress = {}) const;

    /// Like `compare`, for the points whose keys fall in `only` alone: one shard of a comparison (see
    /// `planShards`). `only` lists time windows ascending, then NaN windows ascending. The outcome's
    /// input facts count the points and NaN times of the whole inputs, and the duplicates inside
    /// `only`; its windows are those run inside `only`.
    ComparisonOutcome compare(const std::vector<std::filesystem::path>& reference,
                              const std::vector<std::filesystem::path>& test, DecisionSink& sink,
                              const ProgressCallback& progress, const std::vector<Window>& only) const;

    /// Like the `compare` above, for one shard compared from the records that its windows `only` hold,
    /// read from raw record runs (see `partitionShare`): the same decisions, in the same order, as
    /// that `compare` over the whole inputs, whose facts `parts` carry. A leg's runs must hold its
    /// records of `only` in reading order. Throws as the `compare` above, the first run's file named
    /// when a run cannot be mapped.
    ComparisonOutcome compare(const std::array<InputParts, 2>& parts, DecisionSink& sink,
                              const ProgressCallback& progress, const std::vector<Window>& only) const;

    const EngineOptions& options() const { return mOptions; }

private:
    /// The threads that the comparison runs on.
    unsigned threads() const;

    EngineOptions mOptions;
};

} // namespace Orvid::Compare::Engine
