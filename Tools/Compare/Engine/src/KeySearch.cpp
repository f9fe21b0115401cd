#include "KeySearch.h"

#include <algorithm>

namespace Orvid::Compare::Engine {

std::uint64_t primaryAt(const Input& input, InputReader& reader, std::uint64_t position) {
    const std::size_t leg = input.legOf(position);
    return primaryOf(input.keyTimeAt(input.leg(leg), reader.record(position, leg)));
}

std::uint64_t lowerBoundNear(const Input& input, std::uint64_t primary, std::uint64_t guess) {
    const std::uint64_t size = input.size();
    InputReader reader(input);
    const auto below = [&](std::uint64_t position) { return primaryAt(input, reader, position) < primary; };
    // The bound lies in [low, high]: steps that double from the guess find such a range, a binary
    // search the bound in it.
    std::uint64_t low = 0;
    std::uint64_t high = size;
    guess = std::min(guess, size);
    if (guess < size && below(guess)) {
        low = guess + 1;
        for (std::uint64_t step = 1; low + step <= size; step *= 2) {
            const std::uint64_t probe = low + step - 1;
            if (!below(probe)) {
                high = probe;
                break;
            }
            low = probe + 1;
        }
    } else {
        high = guess;
        for (std::uint64_t step = 1; step <= high; step *= 2) {
            const std::uint64_t probe = high - step;
            if (below(probe)) {
                low = probe + 1;
                break;
            }
            high = probe;
        }
    }
    while (low < high) {
        const std::uint64_t middle = low + (high - low) / 2;
        if (below(middle)) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

StreamCuts::StreamCuts(const Input& larger, std::uint64_t stride)
    : mLarger(&larger)
    , mStride(stride)
    , mChunks(static_cast<std::size_t>(std::max<std::uint64_t>((larger.size() + stride - 1) / stride, 1)))
    , mPrimaries(std::make_unique<std::atomic<std::uint64_t>[]>(mChunks)) {
    for (std::size_t chunk = 0; chunk < mChunks; ++chunk) {
        mPrimaries[chunk].store(0, std::memory_order_relaxed);
    }
}

std::uint64_t StreamCuts::primary(std::size_t chunk) const {
    std::uint64_t primary = mPrimaries[chunk].load(std::memory_order_relaxed);
    if (primary == 0) {
        InputReader reader(*mLarger);
        primary = primaryAt(*mLarger, reader, position(chunk));
        mPrimaries[chunk].store(primary, std::memory_order_relaxed);
    }
    return primary;
}

} // namespace Orvid::Compare::Engine
