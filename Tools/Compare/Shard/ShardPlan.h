#pragma once

#include "Gather/ComparisonSettings.h"
#include "Shard/FileIdentity.h"

#include <CompareEngine/InputShares.h>
#include <CompareEngine/ShardPlanner.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace Orvid::Compare {

/// One input of a plan: as given, and its LAS files with their identities when planned.
struct PlannedInput {
    /// As given on the command line, for the reports.
    std::filesystem::path path;
    /// Its legs in leg order, as listed when planned (relative ones against the plan's folder).
    std::vector<std::filesystem::path> files;
    /// Per file, what it was when planned (of a plan written before identities were kept, the size
    /// alone).
    std::vector<FileIdentity> identities;
    /// One share of its records per partition of the plan, of about equal bytes (none in a plan
    /// written before partitions were planned).
    std::vector<Engine::InputShare> shares;
};

/// A comparison cut into shards that run on their own, anywhere the inputs can be read, and add up to
/// one comparison's results. Written and read as JSON (schema "orvid-compare-plan/1").
struct ShardPlan {
    /// Identifies the plan: a hash of everything else in it, so that shards of another plan, or of this
    /// plan edited, are told apart.
    std::string id;
    /// The folder the plan was made in, against which relative input paths are read.
    std::filesystem::path workingDirectory;
    std::array<PlannedInput, 2> inputs;
    /// How the shards compare, as the plan's comparison flags say.
    ComparisonSettings settings;
    std::vector<Engine::PlannedShard> shards;

    /// The files of input `side` (0 reference, 1 test) as they can be opened from the current folder.
    std::vector<std::filesystem::path> openable(std::size_t side) const;
    /// A path of the plan (an input's file or folder) as it can be opened from the current folder.
    std::filesystem::path openable(const std::filesystem::path& path) const;
};

/// The plan's id: a hash of its contents other than the id.
std::string planIdOf(const ShardPlan& plan);

/// Writes `plan` as JSON to the file `path`, shown as `shownAs` in messages. Throws std::runtime_error
/// when it cannot be written completely.
void writeShardPlan(const std::filesystem::path& path, const ShardPlan& plan,
                    const std::filesystem::path& shownAs);

/// Reads the plan at `path`. Throws Core::IOException, with a message that starts with the path and
/// names the field, when the file cannot be read, is not a plan, or its contents do not match its id.
ShardPlan readShardPlan(const std::filesystem::path& path);

/// Throws Core::IOException naming the file when an input of `plan` is missing or is not the file the
/// plan was made from (another size, other sampled bytes or another modification time).
void checkInputsUnchanged(const ShardPlan& plan);

} // namespace Orvid::Compare
