#pragma once

#include "Command/ParseCommand.h"
#include "Command/ShardCommands.h"

#include <string_view>
#include <variant>

namespace Orvid::Compare {

/// The options of one of the commands of a sharded comparison, or how to exit early.
using ShardCommand = std::variant<PlanOptions, PartitionOptions, ShardOptions, MergeOptions, EarlyExit>;

/// Whether `word`, the first argument, names one of the commands of a sharded comparison: plan,
/// partition, shard or merge.
bool isShardCommand(std::string_view word);

/// Parses the arguments of `orvid-compare plan|partition|shard|merge ...` (`argv[1]` is the command). Help
/// and usage errors are printed here (to standard output and standard error respectively); the result then
/// says how to exit.
ShardCommand parseShardCommandLine(int argc, const char* const* argv);

} // namespace Orvid::Compare
