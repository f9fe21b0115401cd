#include "Shard/EmptyShards.h"

#include <cstdint>

namespace Orvid::Compare {

std::optional<std::string> emptyShardsWarning(const std::vector<Engine::PlannedShard>& shards) {
    std::uint64_t points = 0;
    for (const Engine::PlannedShard& shard : shards) {
        points += shard.points;
    }
    std::string listed;
    std::size_t few = 0;
    for (std::size_t index = 0; index < shards.size(); ++index) {
        // Under a tenth of an even share: a task that costs its start-up for next to nothing.
        if (shards[index].points * 10 * shards.size() < points || shards[index].points == 0) {
            listed += (few++ == 0 ? "" : ", ") + std::to_string(index) + " (about " +
                      std::to_string(shards[index].points) + ")";
        }
    }
    if (few == 0) {
        return std::nullopt;
    }
    return std::to_string(few) + " of the " + std::to_string(shards.size()) +
           " shards hold few or no points, since points of one GPS time are never split: shard" +
           (few == 1 ? " " : "s ") + listed + "; the inputs have too few distinct GPS times for " +
           std::to_string(shards.size()) + " shards, plan fewer";
}

} // namespace Orvid::Compare
