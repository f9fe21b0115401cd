#include "WindowSide.h"

#include <algorithm>

namespace Orvid::Compare::Engine {

void WindowSide::cut(const std::vector<std::uint64_t>& cuts, std::uint64_t lowest, std::uint64_t end,
                     bool byChannel) {
    mCuts = &cuts;
    mStarts = streamed ? ChunkStarts(cuts.size() + 1, startOf(lowest, byChannel), startOf(end, byChannel))
                       : ChunkStarts(cuts.size() + 1, 0, index.size());
}

KeySequence WindowSide::sequence(std::size_t chunk, bool byChannel) const {
    const auto startOfChunk = [&](std::size_t next) {
        return mStarts.of(next, [&] { return startOf((*mCuts)[next - 1], byChannel); });
    };
    const std::uint64_t begin = startOfChunk(chunk);
    const std::uint64_t end = startOfChunk(chunk + 1);
    if (streamed) {
        return KeySequence::ofStream(*input, begin, end, byChannel);
    }
    return KeySequence::ofIndex(*input, index.begin() + begin, index.begin() + end);
}

std::uint64_t WindowSide::startOf(std::uint64_t primary, bool byChannel) const {
    if (streamed) {
        return scan->lowerBound(*input, primary, byChannel);
    }
    return static_cast<std::uint64_t>(std::lower_bound(index.begin(), index.end(), KeyEntry{primary, 0}) -
                                      index.begin());
}

} // namespace Orvid::Compare::Engine
