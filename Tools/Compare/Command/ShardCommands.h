#pragma once

#include "Gather/ComparisonReport.h"
#include "Gather/ComparisonSettings.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <vector>

namespace Orvid::Compare {

/// `orvid-compare plan`: cut a comparison into shards.
struct PlanOptions {
    std::filesystem::path reference;
    std::filesystem::path test;
    ComparisonSettings settings;
    std::size_t shards = 1;
    std::filesystem::path planFile;
    bool quiet = false;
};

/// `orvid-compare shard`: compare one shard of a plan.
struct ShardOptions {
    std::filesystem::path planFile;
    /// Signed, so that a negative number given is refused as such rather than wrapped around.
    std::int64_t shard = 0;
    std::filesystem::path outDirectory;
    bool quiet = false;
    std::optional<bool> progress;
    /// The partitions' folder: the shard reads its records there rather than from the inputs.
    std::optional<std::filesystem::path> partsDirectory;
};

/// `orvid-compare partition`: split one share of both inputs by the shards of a plan.
struct PartitionOptions {
    std::filesystem::path planFile;
    /// Signed, so that a negative number given is refused as such rather than wrapped around.
    std::int64_t partition = 0;
    std::filesystem::path partsDirectory;
    bool quiet = false;
    std::optional<bool> progress;
};

/// `orvid-compare merge`: add up the shards of a plan into one comparison's outputs.
struct MergeOptions {
    std::filesystem::path planFile;
    std::vector<std::filesystem::path> shardDirectories;
    std::optional<std::filesystem::path> jsonFile;
    std::optional<std::filesystem::path> htmlFile;
    std::optional<std::filesystem::path> outDirectory;
    bool overwrite = false;
    bool quiet = false;
    /// The partitions' folder, whose partitions' files the merge removes once it has written its
    /// outputs, unless `keepParts`.
    std::optional<std::filesystem::path> partsDirectory;
    bool keepParts = false;
};

/// Reads the headers and the keys of the inputs (no comparison) and writes the plan file: the inputs,
/// every comparison parameter, and `shards` GPS-time windows of about equal numbers of points. Prints
/// the shards to `out` unless quiet. Throws Core::IOException naming the file when an input cannot be
/// read, std::runtime_error when the plan cannot be written (nothing is then left under its name).
void runPlan(const PlanOptions& options, std::ostream& out);

/// Compares the windows of one shard of the plan, reading the inputs' records of them from the partitions
/// under `options.partsDirectory` when given, and writes, into the shard's folder (all or none),
/// its report (`SHARD_REPORT_NAME`) and its class files. Throws Core::IOException naming the file when
/// the plan or an input cannot be read or an input changed since the plan was made, std::runtime_error
/// when an output cannot be written, Interrupted on SIGINT or SIGTERM; Core::IOException naming the
/// folder of a foreign or repeated partition, or the partition missing.
void runShard(const ShardOptions& options, std::ostream& out, std::ostream& err);

/// Reads share `options.partition` of both inputs of the plan once and writes, into its own folder under
/// `options.partsDirectory` (all or none, replacing what an earlier run of it wrote), its records of each
/// shard as one run of raw records, and what the share tells of the whole inputs. Throws
/// Core::IOException naming the file when the plan or an input cannot be read or an input changed since
/// the plan was made, std::runtime_error when the partition cannot be written, Interrupted on SIGINT or
/// SIGTERM.
void runPartition(const PartitionOptions& options, std::ostream& out, std::ostream& err);

/// Checks that the folders hold every shard of the plan once, each made with this plan, adds them up
/// and writes what one comparison would: the text summary on `out` (unless quiet), the JSON and HTML
/// reports and the class files (the shards' files concatenated in shard order), all or none; returns
/// the report, whose exit status is the comparison's. Throws Core::IOException naming the folder or
/// file of a missing, repeated, foreign or corrupt shard, and nothing is then written. Then removes the
/// partitions' files under `options.partsDirectory`, when given, unless `options.keepParts`.
ComparisonReport runMerge(const MergeOptions& options, std::ostream& out);

} // namespace Orvid::Compare
