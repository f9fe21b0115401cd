#pragma once

#include "ChunkMatcher.h"
#include "KeySequence.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace Orvid::Compare::Engine {

/// The reference and test sequences of one chunk.
using ChunkSequences = std::pair<KeySequence, KeySequence>;

/// Runs the chunks of a window on one thread per matcher (the caller's among them). Chunks are
/// matched in parallel but replayed in chunk order, one at a time: a worker that has matched chunk k
/// waits until chunk k - 1 has been replayed. The first exception stops every worker and is rethrown.
void runChunks(std::vector<std::unique_ptr<ChunkMatcher>>& matchers, std::size_t chunkCount,
               const std::function<ChunkSequences(std::size_t chunk)>& sequencesOf,
               const ReplayTarget& target);

} // namespace Orvid::Compare::Engine
