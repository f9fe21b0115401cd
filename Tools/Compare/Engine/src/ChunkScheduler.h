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

/// Called after decisions of `chunk`, matched in `matcher`, were replayed, on the replaying thread, one
/// call at a time: `whole` when they were the chunk's last, so that every decision of the chunks up to
/// it has been replayed and none of a later chunk; not `whole` for a matcher's buffer replayed
/// mid-chunk.
using ChunkReplayed = std::function<void(std::size_t chunk, const ChunkMatcher& matcher, bool whole)>;

/// Runs the chunks of a window on up to `threads` threads (the caller's among them). Chunks are
/// matched in parallel, each into a free matcher, and replayed in chunk order, one at a time, by
/// whichever thread finds the next chunk's turn come. With more matchers than threads a thread runs
/// ahead of the replay by as many chunks as there are spare matchers, which bounds the decisions
/// kept. A matcher whose buffer fills mid-chunk waits for its chunk's turn. A single chunk (a window of
/// one time, or none) runs on the caller's thread, and its matcher shares its large keys among all
/// `threads`. `sequencesOf(chunk, matcher)` gives the sequences of `chunk`, about to be matched in
/// `matcher`; `replayed`, unless empty, hears of every replay. The first exception stops every worker
/// and is rethrown.
void runChunks(
    std::vector<std::unique_ptr<ChunkMatcher>>& matchers, unsigned threads, std::size_t chunkCount,
    const std::function<ChunkSequences(std::size_t chunk, const ChunkMatcher& matcher)>& sequencesOf,
    const ReplayTarget& target, const ChunkReplayed& replayed = {});

} // namespace Orvid::Compare::Engine
