#include "KeyIndex.h"

#include "Parallel.h"

#include <algorithm>
#include <cstdint>

#include <sys/mman.h>
#include <unistd.h>

namespace Orvid::Compare::Engine {

namespace {

/// Entries per bucket and counting thread aimed at: the bucket counts of all threads together then
/// cost one byte per entry, whatever the number of threads.
constexpr std::uint64_t ENTRIES_PER_BUCKET = 8;
constexpr std::ptrdiff_t INSERTION_SORT_LIMIT = 32;

/// Maps a key of the window to its bucket: a shift of the primary word for a time window, whose
/// buckets then cover equal spans of time; the secondary word itself for a NaN window, whose entries
/// then need no further sort.
class Buckets {
public:
    Buckets(const Window& window, std::uint64_t expected)
        : mWindow(window) {
        if (window.nanTimes) {
            mCount = window.end - window.lowest;
            return;
        }
        const std::uint64_t span = window.end - window.lowest - 1;
        const std::uint64_t wanted = std::max<std::uint64_t>(expected / ENTRIES_PER_BUCKET, 1);
        while (mShift < 63 && (span >> mShift) >= wanted) {
            ++mShift;
        }
        mCount = (span >> mShift) + 1;
    }

    std::uint64_t count() const { return mCount; }
    std::size_t of(const Key& key) const {
        return static_cast<std::size_t>(mWindow.nanTimes ? key.secondary - mWindow.lowest
                                                         : (key.primary - mWindow.lowest) >> mShift);
    }

private:
    Window mWindow;
    unsigned mShift = 0;
    std::uint64_t mCount = 0;
};

void sortBucket(KeyEntry* first, KeyEntry* last) {
    if (last - first > INSERTION_SORT_LIMIT) {
        std::sort(first, last);
        return;
    }
    for (KeyEntry* current = first + (first != last ? 1 : 0); current < last; ++current) {
        const KeyEntry entry = *current;
        KeyEntry* hole = current;
        for (; hole > first && entry < hole[-1]; --hole) {
            *hole = hole[-1];
        }
        *hole = entry;
    }
}

} // namespace

KeyIndex::KeyIndex(std::size_t size)
    : mEntries(new KeyEntry[size])
    , mSize(size) {
    // Entries are written and read in random order: large pages spare most of the address
    // translations. Asked for before the first write, while no page is there yet.
    const auto pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto first =
        (reinterpret_cast<std::uintptr_t>(mEntries.get()) + pageSize - 1) / pageSize * pageSize;
    const auto last = reinterpret_cast<std::uintptr_t>(mEntries.get() + size) / pageSize * pageSize;
    if (last > first) {
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
}

KeyIndex buildKeyIndex(const Input& input, const Window& window, std::uint64_t expected, bool byChannel,
                       unsigned threads) {
    const std::uint64_t points = input.size();
    const unsigned parts =
        static_cast<unsigned>(std::clamp<std::uint64_t>(points / 65536, 1, std::max(threads, 1u)));
    const auto rangeOf = [&](std::size_t part) {
        return std::pair{points * part / parts, points * (part + 1) / parts};
    };

    // Pass 1: how many entries each part has in each bucket.
    const Buckets buckets(window, expected / parts);
    std::vector<std::vector<std::uint64_t>> counts(parts, std::vector<std::uint64_t>(buckets.count(), 0));
    runTasks(parts, parts, [&](std::size_t part) {
        const auto [begin, end] = rangeOf(part);
        std::vector<std::uint64_t>& mine = counts[part];
        input.forEachRecord(begin, end,
                            [&](std::uint64_t, const std::uint8_t* record,
                                const FileIoInterface::Las::PointRecords& records) {
                                const Key key = keyOf(records, record, byChannel);
                                if (window.holds(key.primary, key.secondary)) {
                                    ++mine[buckets.of(key)];
                                }
                            });
    });

    // Bucket-major, part-minor offsets: entries of a bucket stay in reading order.
    std::vector<std::uint64_t> bucketStarts(buckets.count() + 1, 0);
    std::uint64_t total = 0;
    for (std::size_t bucket = 0; bucket < buckets.count(); ++bucket) {
        bucketStarts[bucket] = total;
        for (unsigned part = 0; part < parts; ++part) {
            const std::uint64_t count = counts[part][bucket];
            counts[part][bucket] = total;
            total += count;
        }
    }
    bucketStarts[buckets.count()] = total;

    // Pass 2: each entry straight to its place.
    KeyIndex entries(static_cast<std::size_t>(total));
    runTasks(parts, parts, [&](std::size_t part) {
        const auto [begin, end] = rangeOf(part);
        std::vector<std::uint64_t>& next = counts[part];
        input.forEachRecord(begin, end,
                            [&](std::uint64_t position, const std::uint8_t* record,
                                const FileIoInterface::Las::PointRecords& records) {
                                const Key key = keyOf(records, record, byChannel);
                                if (window.holds(key.primary, key.secondary)) {
                                    entries.begin()[next[buckets.of(key)]++] = {
                                        key.primary, (key.secondary << POSITION_BITS) | position};
                                }
                            });
    });
    counts.clear();
    counts.shrink_to_fit();

    if (!window.nanTimes) {
        const unsigned sorters = std::max(threads, 1u);
        runTasks(sorters, sorters, [&](std::size_t part) {
            const std::size_t first = buckets.count() * part / sorters;
            const std::size_t last = buckets.count() * (part + 1) / sorters;
            for (std::size_t bucket = first; bucket < last; ++bucket) {
                sortBucket(entries.begin() + bucketStarts[bucket],
                           entries.begin() + bucketStarts[bucket + 1]);
            }
        });
    }
    return entries;
}

} // namespace Orvid::Compare::Engine
