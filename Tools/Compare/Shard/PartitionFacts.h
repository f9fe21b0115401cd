#pragma once

#include <CompareEngine/SharePartition.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace Orvid::Compare {

/// Consecutive records that a partition hands to one shard from one leg: copied into the shard's run,
/// after the leg's records copied before them, or left where the leg holds them.
struct RunSegment {
    std::uint64_t records = 0;
    /// For records left in the leg, the position of the first there.
    std::optional<std::uint64_t> firstInLeg;
};

/// What one partition of a plan wrote into its folder under the parts folder: beside this file (JSON,
/// schema "orvid-compare-partition/2", written last), one run of raw records per shard of the plan
/// (`runFileName`), which holds the partition's records of that shard's windows that it copied: the
/// reference's legs, then the test's, each leg's records in reading order, with no header.
struct PartitionFacts {
    /// The id of the plan the partition belongs to.
    std::string plan;
    /// Its index, and the plan's partitions (one per shard).
    std::size_t partition = 0;
    std::size_t partitions = 0;
    /// What the reference's (0) and the test's (1) shares tell of the whole inputs.
    std::array<Engine::ShareFacts, 2> shares;
    /// Per shard, per input, per leg: where the partition's records of the shard lie, in reading order.
    std::vector<std::array<std::vector<std::vector<RunSegment>>, 2>> runSegments;
};

/// The name of the facts file in a partition's folder.
constexpr const char* PARTITION_FACTS_NAME = "partition.json";

/// The folder of partition `partition` under the parts folder `parts`.
std::filesystem::path partitionFolder(const std::filesystem::path& parts, std::size_t partition);

/// Beside the folder `folder` of a partition: the one it is written into, until complete, and the one
/// that its earlier result waits in to be removed, while the new one takes its place.
std::filesystem::path partialFolderOf(const std::filesystem::path& folder);
std::filesystem::path replacedFolderOf(const std::filesystem::path& folder);

/// The name of the facts file while it is written.
constexpr const char* PARTIAL_FACTS_NAME = "partition.json.partial";

/// The name of the run of shard `shard` in a partition's folder.
std::string runFileName(std::size_t shard);

/// Writes `facts` to the file `path`, shown as `shownAs` in messages. Throws std::runtime_error when it
/// cannot be written completely.
void writePartitionFacts(const std::filesystem::path& path, const PartitionFacts& facts,
                         const std::filesystem::path& shownAs);

/// Reads the facts file at `path`. Throws Core::IOException, with a message that starts with the path,
/// when it cannot be read or is not a complete facts file.
PartitionFacts readPartitionFacts(const std::filesystem::path& path);

} // namespace Orvid::Compare
