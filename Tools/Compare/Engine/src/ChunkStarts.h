#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace Orvid::Compare::Engine {

/// Where each chunk of a window starts in one input, and where the last one ends: positions or key
/// index offsets. The ends are set at once; each start between them is found when a chunk first needs
/// it, on that chunk's thread, so that no thread finds them all before the comparison starts. Two
/// threads may look for the same start at once; the first found stands for both.
class ChunkStarts {
public:
    ChunkStarts() = default;

    /// For `chunks` chunks, the first starting at `first` and the last ending at `end`.
    ChunkStarts(std::size_t chunks, std::uint64_t first, std::uint64_t end)
        : mStarts(std::make_unique<std::atomic<std::uint64_t>[]>(chunks + 1)) {
        mStarts[0].store(first, std::memory_order_relaxed);
        for (std::size_t chunk = 1; chunk < chunks; ++chunk) {
            mStarts[chunk].store(UNKNOWN, std::memory_order_relaxed);
        }
        mStarts[chunks].store(end, std::memory_order_relaxed);
    }

    /// The start of chunk `chunk` (the end, for the chunk after the last), found by `find()` unless
    /// known.
    template <typename Find>
    std::uint64_t of(std::size_t chunk, const Find& find) const {
        std::uint64_t start = mStarts[chunk].load(std::memory_order_relaxed);
        if (start == UNKNOWN) {
            // In an input out of order, searches from other guesses may find other starts: the chunks
            // on either side of this one must agree on it, or records between two answers go unread.
            const std::uint64_t found = find();
            start = mStarts[chunk].compare_exchange_strong(start, found, std::memory_order_relaxed) ? found
                                                                                                    : start;
        }
        return start;
    }

    /// The start of chunk `chunk` when some chunk has found it.
    std::optional<std::uint64_t> known(std::size_t chunk) const {
        const std::uint64_t start = mStarts[chunk].load(std::memory_order_relaxed);
        return start == UNKNOWN ? std::nullopt : std::optional<std::uint64_t>(start);
    }

private:
    static constexpr std::uint64_t UNKNOWN = ~std::uint64_t{0};

    std::unique_ptr<std::atomic<std::uint64_t>[]> mStarts;
};

} // namespace Orvid::Compare::Engine
