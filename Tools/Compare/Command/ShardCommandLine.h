#pragma once

#include "Command/ParseCommand.h"
#include "Command/ShardCommands.h"

#include <string_view>
#include <variant>

namespace Orvid::Compare {

/// Whether `word`, the first argument, names one of the commands of a sharded comparison: plan, shard
/// or merge.
bool isShardCommand(std::string_view word);

/// Parses the arguments of `orvid-compare plan|shard|merge ...` (`argv[1]` is the command). Help and
/// usage errors are printed here (to standard output and standard error respectively); the result
/// then says how to exit.
std::variant<PlanOptions, ShardOptions, MergeOptions, EarlyExit>
parseShardCommandLine(int argc, const char* const* argv);

} // namespace Orvid::Compare
