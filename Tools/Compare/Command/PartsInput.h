#pragma once

#include "Command/ClassFiles.h"
#include "Shard/ShardPlan.h"

#include <CompareEngine/InputParts.h>

#include <array>
#include <cstddef>
#include <filesystem>

namespace Orvid::Compare {

/// Both inputs of `plan` (read from `planFile`) as shard `shard` compares them from the partitions under
/// `parts`: each leg's records of the shard's windows, from the runs of every partition in partition
/// order, and the facts of the whole inputs added up over the partitions. `legs` are the inputs' legs
/// with their headers. Throws Core::IOException naming the folder of a foreign or repeated partition,
/// the partition missing, or the run that does not hold what its partition's facts say.
std::array<Engine::InputParts, 2> partsOfShard(const ShardPlan& plan, const std::filesystem::path& planFile,
                                               const std::filesystem::path& parts, std::size_t shard,
                                               const std::array<InputLegs, 2>& legs);

} // namespace Orvid::Compare
