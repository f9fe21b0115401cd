#pragma once

#include "Input.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace Orvid::Compare::Engine {

/// The primary word of the key of record `position` (less than `input.size()`) of `input`, read
/// through `reader`, a reader of `input`.
std::uint64_t primaryAt(const Input& input, InputReader& reader, std::uint64_t position);

/// For `input` in key order: the first position whose key's primary word is not below `primary`
/// (`input.size()` when there is none), looked for from `guess` outwards, so that a good guess costs
/// a few reads near it. For an input out of order: some position, which the reads of its records will
/// show to be wrong.
std::uint64_t lowerBoundNear(const Input& input, std::uint64_t primary, std::uint64_t guess);

/// Where the chunks of inputs compared in one pass start: chunk k (k >= 1) at the key of the larger
/// input's record k x `stride`, read when a chunk first needs it, by whichever thread, so that no
/// thread reads them all before the comparison starts.
class StreamCuts {
public:
    StreamCuts(const Input& larger, std::uint64_t stride);

    /// Chunks of `stride` points of the larger input (one for an empty input).
    std::size_t chunks() const { return mChunks; }
    /// The larger input's position at which chunk `chunk` (1 to `chunks()` - 1) starts.
    std::uint64_t position(std::size_t chunk) const { return chunk * mStride; }
    /// The primary word at which chunk `chunk` (1 to `chunks()` - 1) starts. Two threads may read the
    /// same one, alike.
    std::uint64_t primary(std::size_t chunk) const;

private:
    const Input* mLarger;
    std::uint64_t mStride;
    std::size_t mChunks;
    /// Per chunk, its primary word once read; 0, the word of no number, until then.
    std::unique_ptr<std::atomic<std::uint64_t>[]> mPrimaries;
};

} // namespace Orvid::Compare::Engine
