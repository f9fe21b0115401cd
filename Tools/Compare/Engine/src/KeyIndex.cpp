#include "KeyIndex.h"

#include "Parallel.h"
#include "PointTallying.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace Orvid::Compare::Engine {

namespace {

/// Entries per first-level bucket aimed at: a bucket is then sorted inside the processor's caches,
/// while the first pass writes to few enough buckets at once to keep their cache lines and pages.
constexpr std::uint64_t ENTRIES_PER_BUCKET = 16384;
constexpr std::uint64_t MOST_BUCKETS = 8192;
/// Entries per second-level bucket aimed at, sorted by insertion.
constexpr std::uint64_t ENTRIES_PER_SUBBUCKET = 8;
/// Larger buckets (only where many points share a narrow span of time) are sorted in place, so that
/// the scratch of a sorting thread stays within a few MiB.
constexpr std::size_t LARGEST_SCRATCH = std::size_t{1} << 18;
constexpr std::ptrdiff_t INSERTION_SORT_LIMIT = 32;

unsigned shiftFor(std::uint64_t span, std::uint64_t buckets) {
    unsigned shift = 0;
    while (shift < 63 && (span >> shift) >= buckets) {
        ++shift;
    }
    return shift;
}

/// Maps a key of the window to its first-level bucket: a shift of the primary word for a time
/// window, whose buckets then cover equal spans of time; the secondary word itself for a NaN window
/// or a window of a single time, whose entries then need no further sort.
class Buckets {
public:
    Buckets(const Window& window, std::uint64_t expected)
        : mWindow(window) {
        if (window.nanTimes) {
            mCount = window.end - window.lowest;
            return;
        }
        if (window.end - window.lowest == 1) {
            mBySecondary = true;
            mCount = SECONDARY_COUNT;
            return;
        }
        const std::uint64_t span = window.end - window.lowest - 1;
        mShift = shiftFor(span, std::clamp<std::uint64_t>(expected / ENTRIES_PER_BUCKET, 1, MOST_BUCKETS));
        mCount = (span >> mShift) + 1;
    }

    std::uint64_t count() const { return mCount; }
    unsigned shift() const { return mShift; }
    /// Entries are placed in reading order within each bucket: buckets by secondary word are sorted.
    bool sorted() const { return mWindow.nanTimes || mBySecondary; }
    std::size_t of(const Key& key) const {
        if (mWindow.nanTimes) {
            return static_cast<std::size_t>(key.secondary - mWindow.lowest);
        }
        return static_cast<std::size_t>(mBySecondary ? key.secondary
                                                     : (key.primary - mWindow.lowest) >> mShift);
    }

private:
    Window mWindow;
    bool mBySecondary = false;
    unsigned mShift = 0;
    std::uint64_t mCount = 0;
};

void insertionSort(KeyEntry* first, KeyEntry* last) {
    for (KeyEntry* current = first + (first != last ? 1 : 0); current < last; ++current) {
        const KeyEntry entry = *current;
        KeyEntry* hole = current;
        for (; hole > first && entry < hole[-1]; --hole) {
            *hole = hole[-1];
        }
        *hole = entry;
    }
}

/// Sorts the entries of one first-level bucket, whose primary words are `lowest` or above and span
/// less than 2^`bucketShift`: a counting sort by finer spans through `scratch`, then insertion sorts.
void sortBucket(KeyEntry* first, KeyEntry* last, std::uint64_t lowest, unsigned bucketShift,
                std::vector<KeyEntry>& scratch, std::vector<std::size_t>& counts) {
    const auto size = static_cast<std::size_t>(last - first);
    if (size <= static_cast<std::size_t>(INSERTION_SORT_LIMIT)) {
        insertionSort(first, last);
        return;
    }
    if (size > LARGEST_SCRATCH || bucketShift == 0) {
        std::sort(first, last);
        return;
    }
    const std::uint64_t span = (std::uint64_t{1} << bucketShift) - 1;
    const unsigned shift = shiftFor(span, std::max<std::uint64_t>(size / ENTRIES_PER_SUBBUCKET, 1));
    const auto subbuckets = static_cast<std::size_t>((span >> shift) + 1);
    counts.assign(subbuckets + 1, 0);
    for (const KeyEntry* entry = first; entry < last; ++entry) {
        ++counts[static_cast<std::size_t>((entry->primary - lowest) >> shift) + 1];
    }
    for (std::size_t subbucket = 1; subbucket <= subbuckets; ++subbucket) {
        counts[subbucket] += counts[subbucket - 1];
    }
    scratch.assign(first, last);
    for (const KeyEntry& entry : scratch) {
        first[counts[static_cast<std::size_t>((entry.primary - lowest) >> shift)]++] = entry;
    }
    // counts[k] now ends sub-bucket k.
    KeyEntry* start = first;
    for (std::size_t subbucket = 0; subbucket < subbuckets; ++subbucket) {
        KeyEntry* const end = first + counts[subbucket];
        if (end - start > INSERTION_SORT_LIMIT) {
            std::sort(start, end);
        } else {
            insertionSort(start, end);
        }
        start = end;
    }
}

/// The parts of an input whose entries are counted and placed each on one thread: the pieces that
/// counted them already, or as many even parts as there are threads.
class Parts {
public:
    Parts(std::uint64_t points, unsigned threads, const PieceCounts* counted)
        : mPoints(points)
        , mPieceRecords(counted != nullptr ? counted->records : 0)
        , mCount(counted != nullptr ? counted->bySecondary.size()
                                    : static_cast<std::size_t>(std::clamp<std::uint64_t>(
                                          points / 65536, 1, std::max(threads, 1u)))) {}

    std::size_t count() const { return mCount; }
    /// The positions of part `part`, from the first to one past the last.
    std::pair<std::uint64_t, std::uint64_t> range(std::size_t part) const {
        if (mPieceRecords != 0) {
            const std::uint64_t begin = part * mPieceRecords;
            return {begin, std::min(begin + mPieceRecords, mPoints)};
        }
        return {mPoints * part / mCount, mPoints * (part + 1) / mCount};
    }

private:
    std::uint64_t mPoints;
    std::uint64_t mPieceRecords;
    std::size_t mCount;
};

/// Per part, how many of its entries fall in each bucket.
std::vector<std::vector<std::uint64_t>> countEntries(const Input& input, const Window& window,
                                                     const Buckets& buckets, bool byChannel,
                                                     const Parts& parts) {
    std::vector<std::vector<std::uint64_t>> counts(parts.count());
    runTasks(static_cast<unsigned>(parts.count()), parts.count(), [&](std::size_t part) {
        const auto [begin, end] = parts.range(part);
        std::vector<std::uint64_t>& mine = counts[part];
        mine.assign(buckets.count(), 0);
        input.forEachRecord(begin, end,
                            [&](std::uint64_t, const std::uint8_t* record,
                                const FileIoInterface::Las::PointRecords& records) {
                                const Key key = keyOf(input, records, record, byChannel);
                                if (window.holds(key.primary, key.secondary)) {
                                    ++mine[buckets.of(key)];
                                }
                            });
    });
    return counts;
}

/// Turns the parts' `counts` into where each part's next entry of each bucket goes, bucket-major and
/// part-minor so that the entries of a bucket stay in reading order; returns where each bucket starts,
/// and the end of the last.
std::vector<std::uint64_t> toOffsets(std::vector<std::vector<std::uint64_t>>& counts,
                                     std::size_t bucketCount) {
    std::vector<std::uint64_t> bucketStarts(bucketCount + 1, 0);
    std::uint64_t total = 0;
    for (std::size_t bucket = 0; bucket < bucketCount; ++bucket) {
        bucketStarts[bucket] = total;
        for (std::vector<std::uint64_t>& part : counts) {
            const std::uint64_t count = part[bucket];
            part[bucket] = total;
            total += count;
        }
    }
    bucketStarts[bucketCount] = total;
    return bucketStarts;
}

/// Places each entry of the window into `entries` at the offsets `next` of its part; `extents`, when
/// given (for buckets by secondary word), takes the extent of each word's points.
void placeEntries(const Input& input, const Window& window, const Buckets& buckets, bool byChannel,
                  unsigned threads, const Parts& parts, std::vector<std::vector<std::uint64_t>>& next,
                  KeyIndex& entries, std::array<PlanarExtent, SECONDARY_COUNT>* extents) {
    std::mutex merging;
    runTasks(std::max(threads, 1u), parts.count(), [&](std::size_t part) {
        const auto [begin, end] = parts.range(part);
        std::vector<std::uint64_t>& mine = next[part];
        std::array<PlanarExtent, SECONDARY_COUNT> partExtents;
        partExtents.fill(GROWING_EXTENT);
        input.forEachRecord(begin, end,
                            [&](std::uint64_t position, const std::uint8_t* record,
                                const FileIoInterface::Las::PointRecords& records) {
                                const Key key = keyOf(input, records, record, byChannel);
                                if (window.holds(key.primary, key.secondary)) {
                                    entries.begin()[mine[buckets.of(key)]++] = {
                                        key.primary, (key.secondary << POSITION_BITS) | position};
                                    if (extents != nullptr) {
                                        include(partExtents[static_cast<std::size_t>(key.secondary)], records,
                                                record);
                                    }
                                }
                            });
        if (extents != nullptr) {
            const std::lock_guard<std::mutex> lock(merging);
            for (std::size_t secondary = 0; secondary < SECONDARY_COUNT; ++secondary) {
                include((*extents)[secondary], partExtents[secondary]);
            }
        }
    });
}

/// Sorts the entries of each first-level bucket, which start at `bucketStarts`, on `threads` threads.
void sortBuckets(KeyIndex& entries, const std::vector<std::uint64_t>& bucketStarts, const Buckets& buckets,
                 const Window& window, unsigned threads) {
    const unsigned sorters = std::max(threads, 1u);
    std::atomic<std::size_t> nextBucket{0};
    runTasks(sorters, sorters, [&](std::size_t) {
        std::vector<KeyEntry> scratch;
        std::vector<std::size_t> subbucketCounts;
        for (std::size_t bucket = nextBucket++; bucket < buckets.count(); bucket = nextBucket++) {
            sortBucket(entries.begin() + bucketStarts[bucket], entries.begin() + bucketStarts[bucket + 1],
                       window.lowest + (std::uint64_t{bucket} << buckets.shift()), buckets.shift(), scratch,
                       subbucketCounts);
        }
    });
}

} // namespace

KeyIndex::KeyIndex(std::size_t size) {
    mEntries.resize(size);
}

KeyIndex buildKeyIndex(const Input& input, const Window& window, std::uint64_t expected, bool byChannel,
                       unsigned threads, const PieceCounts* counted, bool withExtents) {
    const Buckets buckets(window, expected);
    // A window of one time has its buckets by secondary word, as the pieces count them.
    const bool countedAlready = counted != nullptr && !window.nanTimes && buckets.sorted();
    const Parts parts(input.size(), threads, countedAlready ? counted : nullptr);
    std::vector<std::vector<std::uint64_t>> next;
    if (countedAlready) {
        for (const std::array<std::uint64_t, SECONDARY_COUNT>& piece : counted->bySecondary) {
            next.emplace_back(piece.begin(), piece.end());
        }
    } else {
        next = countEntries(input, window, buckets, byChannel, parts);
    }
    const std::vector<std::uint64_t> bucketStarts =
        toOffsets(next, static_cast<std::size_t>(buckets.count()));

    KeyIndex entries(static_cast<std::size_t>(bucketStarts.back()));
    // With the counts given, every point of the input is placed by its secondary word.
    std::optional<std::array<PlanarExtent, SECONDARY_COUNT>> extents;
    if (countedAlready && withExtents) {
        extents.emplace();
        extents->fill(GROWING_EXTENT);
    }
    placeEntries(input, window, buckets, byChannel, threads, parts, next, entries,
                 extents ? &*extents : nullptr);
    next.clear();
    next.shrink_to_fit();
    if (extents) {
        entries.holdAllBySecondary(*extents);
    }
    if (!buckets.sorted()) {
        sortBuckets(entries, bucketStarts, buckets, window, threads);
    }
    return entries;
}

} // namespace Orvid::Compare::Engine
