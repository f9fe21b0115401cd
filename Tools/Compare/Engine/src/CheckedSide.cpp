#include "CheckedSide.h"

#include <CompareEngine/Window.h>

namespace Orvid::Compare::Engine {

CheckedSide::CheckedSide(const Input& input, const StreamCuts& cuts, std::uint64_t largerSize)
    : mInput(&input)
    , mCuts(&cuts)
    , mScale(static_cast<double>(input.size()) / static_cast<double>(largerSize))
    // The whole input, whatever keys its ends hold, for the checks to see them all.
    , mStarts(cuts.chunks(), 0, input.size()) {}

KeySequence CheckedSide::sequence(std::size_t chunk, bool byChannel, StreamTally& tally) const {
    const auto startOfChunk = [&](std::size_t next) {
        return mStarts.of(next,
                          [&] { return lowerBoundNear(*mInput, mCuts->primary(next), guessOfStart(next)); });
    };
    const std::uint64_t begin = startOfChunk(chunk);
    const std::uint64_t end = startOfChunk(chunk + 1);
    const Window keys{false, chunk == 0 ? 0 : mCuts->primary(chunk),
                      chunk + 1 == mCuts->chunks() ? NAN_PRIMARY : mCuts->primary(chunk + 1)};
    if (keys.end < keys.lowest) {
        throw OutOfKeyOrder();
    }
    return KeySequence::ofCheckedStream(*mInput, begin, end, byChannel, keys, tally);
}

std::uint64_t CheckedSide::guessOfStart(std::size_t chunk) const {
    const std::uint64_t position = mCuts->position(chunk);
    if (const std::optional<std::uint64_t> previous = mStarts.known(chunk - 1)) {
        return *previous + scaled(position - mCuts->position(chunk - 1));
    }
    return scaled(position);
}

std::uint64_t CheckedSide::scaled(std::uint64_t position) const {
    return static_cast<std::uint64_t>(static_cast<double>(position) * mScale);
}

} // namespace Orvid::Compare::Engine
