#pragma once

#include <CompareEngine/ShardPlanner.h>

#include <optional>
#include <string>
#include <vector>

namespace Orvid::Compare {

/// The warning for a plan whose shards are not all worth a task: those about to compare no point, or
/// under a tenth of their share, which happens when the inputs hold fewer distinct GPS times than
/// shards (all one time, say), since a time is never split. Nothing when every shard has its share.
std::optional<std::string> emptyShardsWarning(const std::vector<Engine::PlannedShard>& shards);

} // namespace Orvid::Compare
