#pragma once

#include "Shard/ShardTotals.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace Orvid::Compare {

/// What one shard of a plan found, as the merge adds it up. Written as JSON (schema
/// "orvid-compare-shard/1") beside the shard's class files.
struct ShardReport {
    /// The id of the plan the shard belongs to.
    std::string plan;
    /// Its index in the plan, and the plan's shards.
    std::size_t shard = 0;
    std::size_t shards = 0;
    ShardTotals totals;
    /// What the shard's run warned about (the merge derives its own from the totals and the inputs).
    std::vector<std::string> warnings;
};

/// The name of the shard report in a shard's folder.
constexpr const char* SHARD_REPORT_NAME = "shard.json";

/// Writes `report` to the file `path`, shown as `shownAs` in messages. Throws std::runtime_error when it
/// cannot be written completely.
void writeShardReport(const std::filesystem::path& path, const ShardReport& report,
                      const std::filesystem::path& shownAs);

/// Reads the shard report at `path`, its map only `withMap` (the map is the largest part and serves
/// only the HTML report). Throws Core::IOException, with a message that starts with the path and names
/// the field, when it cannot be read or is not a complete shard report.
ShardReport readShardReport(const std::filesystem::path& path, bool withMap);

} // namespace Orvid::Compare
