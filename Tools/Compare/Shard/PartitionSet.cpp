#include "Shard/PartitionSet.h"

#include <Core/IOException.h>

#include <algorithm>
#include <optional>
#include <system_error>

namespace Orvid::Compare {
namespace {

namespace fs = std::filesystem;

/// The folders under `parts` that hold a partition's facts, by name.
std::vector<fs::path> partitionFolders(const fs::path& parts) {
    std::error_code error;
    if (!fs::is_directory(parts, error)) {
        throw Core::IOException(parts.string() + ": no such folder of partitions");
    }
    std::vector<fs::path> folders;
    for (const fs::directory_entry& entry : fs::directory_iterator(parts)) {
        if (entry.is_directory() && fs::exists(entry.path() / PARTITION_FACTS_NAME, error)) {
            folders.push_back(entry.path());
        }
    }
    std::sort(folders.begin(), folders.end());
    return folders;
}

} // namespace

std::vector<FoundPartition> findPartitions(const fs::path& parts, const std::string& planId,
                                           std::size_t partitions, const fs::path& planFile) {
    std::vector<std::optional<FoundPartition>> byIndex(partitions);
    for (const fs::path& folder : partitionFolders(parts)) {
        PartitionFacts facts = readPartitionFacts(folder / PARTITION_FACTS_NAME);
        if (facts.plan != planId || facts.partitions != partitions ||
            facts.runSegments.size() != partitions) {
            throw Core::IOException(folder.string() + ": a partition of another plan (" + facts.plan +
                                    ", not " + planId + " of " + planFile.string() + ")");
        }
        if (facts.partition >= partitions) {
            throw Core::IOException(folder.string() + ": partition " + std::to_string(facts.partition) +
                                    " is not one of the plan's " + std::to_string(partitions));
        }
        std::optional<FoundPartition>& slot = byIndex[facts.partition];
        if (slot) {
            throw Core::IOException(folder.string() + ": partition " + std::to_string(facts.partition) +
                                    " again, already given as " + slot->folder.string());
        }
        slot = FoundPartition{std::move(facts), folder};
    }
    std::vector<FoundPartition> found;
    for (std::size_t partition = 0; partition < partitions; ++partition) {
        if (!byIndex[partition]) {
            throw Core::IOException(planFile.string() + ": partition " + std::to_string(partition) + " of " +
                                    std::to_string(partitions) + " is missing from " + parts.string());
        }
        found.push_back(std::move(*byIndex[partition]));
    }
    return found;
}

std::size_t removePartitions(const fs::path& parts, std::size_t partitions) {
    std::size_t removed = 0;
    std::error_code error;
    for (std::size_t partition = 0; partition < partitions; ++partition) {
        const fs::path folder = partitionFolder(parts, partition);
        // What a partition that failed or was stopped left beside its folder is its too.
        for (const fs::path& written : {folder, partialFolderOf(folder), replacedFolderOf(folder)}) {
            for (const char* facts : {PARTITION_FACTS_NAME, PARTIAL_FACTS_NAME}) {
                removed += fs::remove(written / facts, error) ? 1U : 0U;
            }
            for (std::size_t shard = 0; shard < partitions; ++shard) {
                removed += fs::remove(written / runFileName(shard), error) ? 1U : 0U;
            }
            // Removes the folder only when empty: a file of someone else's stays, and the folder with it.
            fs::remove(written, error);
        }
    }
    fs::remove(parts, error);
    return removed;
}

} // namespace Orvid::Compare
