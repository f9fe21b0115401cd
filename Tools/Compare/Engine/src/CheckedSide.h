#pragma once

#include "ChunkStarts.h"
#include "Input.h"
#include "KeySearch.h"
#include "KeySequence.h"
#include "PointTallying.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace Orvid::Compare::Engine {

/// One whole input of a comparison in one pass, cut into the chunks of `StreamCuts`, each read as a
/// stream that checks its records to be in key order and within the chunk's keys.
class CheckedSide {
public:
    /// `input` in the chunks of `cuts` (which must outlive this side), cut at the positions of the
    /// larger input of `largerSize` points.
    CheckedSide(const Input& input, const StreamCuts& cuts, std::uint64_t largerSize);

    /// The checked stream of chunk `chunk`, which tallies its records into `tally`. Throws
    /// OutOfKeyOrder when the chunk's start is past its end, or its keys' bounds out of order: keys of
    /// two chunks could then interleave unseen.
    KeySequence sequence(std::size_t chunk, bool byChannel, StreamTally& tally) const;

    /// Where chunk `chunk` starts, once a chunk has found it.
    std::optional<std::uint64_t> knownStart(std::size_t chunk) const { return mStarts.known(chunk); }

private:
    /// Where chunk `chunk` (after the first) likely starts: as far past the start of the chunk before,
    /// when known (chunks are taken in order, so it mostly is), as the cuts lie apart in the larger
    /// input, scaled to this one.
    std::uint64_t guessOfStart(std::size_t chunk) const;
    std::uint64_t scaled(std::uint64_t position) const;

    const Input* mInput;
    const StreamCuts* mCuts;
    /// This input's points per point of the larger input.
    double mScale;
    ChunkStarts mStarts;
};

} // namespace Orvid::Compare::Engine
