#pragma once

#include "Shard/PartitionFacts.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace Orvid::Compare {

/// A partition found under a parts folder: its facts and the folder that holds its runs.
struct FoundPartition {
    PartitionFacts facts;
    std::filesystem::path folder;
};

/// The partitions of the plan `planId` (of `partitions` partitions, read from `planFile`) under the parts
/// folder `parts`, in partition order, after checking that every one is there once and is the plan's.
/// Throws Core::IOException naming the folder of a foreign or repeated partition, or the plan and the
/// index of a missing one.
std::vector<FoundPartition> findPartitions(const std::filesystem::path& parts, const std::string& planId,
                                           std::size_t partitions, const std::filesystem::path& planFile);

/// Removes what the `partitions` partitions of a plan wrote under `parts` (their facts and runs, in their
/// folders and in those that a failed run left beside them, then these folders and `parts` itself when
/// nothing else is left in them); never another file. Returns the files removed.
std::size_t removePartitions(const std::filesystem::path& parts, std::size_t partitions);

} // namespace Orvid::Compare
