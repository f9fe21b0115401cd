#pragma once

#include "ChunkStarts.h"
#include "Input.h"
#include "InputScan.h"
#include "KeyIndex.h"
#include "KeySequence.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Orvid::Compare::Engine {

/// One input in one time window of a scanned comparison: its stream's range of positions when it is in
/// key order, its sorted key index otherwise, cut into the window's chunks.
struct WindowSide {
    const Input* input = nullptr;
    /// The scan of the input, whose samples find a streamed chunk's start.
    const InputScan* scan = nullptr;
    bool streamed = false;
    /// The window's keys of an input that is not streamed.
    KeyIndex index;

    /// Cuts the window from `lowest` to `end` into chunks at the primary words `cuts`, which must
    /// outlive this side.
    void cut(const std::vector<std::uint64_t>& cuts, std::uint64_t lowest, std::uint64_t end, bool byChannel);

    /// The sequence of chunk `chunk`. A streamed side reads up to a sample stride of records for a
    /// chunk's start, which are the records that one of the two chunks around it reads next, so that
    /// LAZ legs read chunk by chunk find them in their cache rather than decode them once more.
    KeySequence sequence(std::size_t chunk, bool byChannel) const;

private:
    /// The first position or index offset whose key's primary word is not below `primary`.
    std::uint64_t startOf(std::uint64_t primary, bool byChannel) const;

    /// Primary words at which chunks start, after the first chunk.
    const std::vector<std::uint64_t>* mCuts = nullptr;
    ChunkStarts mStarts;
};

} // namespace Orvid::Compare::Engine
