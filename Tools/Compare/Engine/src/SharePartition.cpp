#include <CompareEngine/SharePartition.h>

#include "KeyEncoding.h"
#include "PointTallying.h"

#include <FileIoInterface/Las/PointRecords.h>

#include <algorithm>
#include <array>
#include <limits>
#include <stdexcept>
#include <string>

namespace Orvid::Compare::Engine {

namespace {

using FileIoInterface::Las::PointRecords;

constexpr std::size_t NO_SHARD = std::numeric_limits<std::size_t>::max();

/// The shard whose windows hold a key.
class WindowLookup {
public:
    explicit WindowLookup(const std::vector<std::vector<Window>>& shards) {
        mNanShards.fill(NO_SHARD);
        for (std::size_t shard = 0; shard < shards.size(); ++shard) {
            for (const Window& window : shards[shard]) {
                if (!window.nanTimes) {
                    mTimes.push_back({window.lowest, window.end, shard});
                    continue;
                }
                for (std::uint64_t secondary = window.lowest;
                     secondary < std::min(window.end, SECONDARY_COUNT); ++secondary) {
                    mNanShards[static_cast<std::size_t>(secondary)] = shard;
                }
            }
        }
        std::sort(mTimes.begin(), mTimes.end(),
                  [](const TimeRange& a, const TimeRange& b) { return a.lowest < b.lowest; });
    }

    /// `NO_SHARD` when no window holds the key.
    std::size_t shardOf(const Key& key) const {
        if (key.primary == NAN_PRIMARY) {
            return mNanShards[static_cast<std::size_t>(key.secondary)];
        }
        auto after = std::upper_bound(
            mTimes.begin(), mTimes.end(), key.primary,
            [](std::uint64_t primary, const TimeRange& range) { return primary < range.lowest; });
        if (after == mTimes.begin() || key.primary >= (after - 1)->end) {
            return NO_SHARD;
        }
        return (after - 1)->shard;
    }

private:
    struct TimeRange {
        std::uint64_t lowest;
        std::uint64_t end;
        std::size_t shard;
    };
    std::vector<TimeRange> mTimes;
    std::array<std::size_t, SECONDARY_COUNT> mNanShards{};
};

/// Tallies the keys of a share as they come, in reading order.
struct KeyTally {
    bool hasKey = false;
    Key first;
    Key last;
    std::uint64_t lowest = NAN_PRIMARY;
    std::uint64_t highest = 0;

    void add(const Key& key, ShareFacts& facts) {
        if (key.primary == NAN_PRIMARY) {
            ++facts.nanTimes;
            return;
        }
        if (!hasKey) {
            hasKey = true;
            first = key;
        } else if (key < last) {
            facts.inKeyOrder = false;
        }
        last = key;
        lowest = std::min(lowest, key.primary);
        highest = std::max(highest, key.primary);
    }
};

} // namespace

ShareFacts partitionShare(const std::vector<std::filesystem::path>& legs, const InputShare& share,
                          const ShareRouting& routing, const RecordRoute& route) {
    const WindowLookup lookup(routing.shards);
    ShareFacts facts;
    facts.extent = GROWING_EXTENT;
    KeyTally keys;
    FileIoInterface::Las::PointRecordsOptions options;
    options.lazAccess = FileIoInterface::Las::LazAccess::chunkByChunk;
    for (const SharePiece& piece : share) {
        const PointRecords records(legs.at(piece.leg), options);
        if (piece.first + piece.count > records.size()) {
            throw std::invalid_argument(legs[piece.leg].string() + ": has " + std::to_string(records.size()) +
                                        " records, fewer than the share's " +
                                        std::to_string(piece.first + piece.count));
        }
        PointRecords::Cursor cursor(records);
        const std::size_t length = records.recordLength();
        for (std::uint64_t index = piece.first; index < piece.first + piece.count; ++index) {
            const std::uint8_t* record = cursor.record(index);
            const Key key{primaryOf(records.gpsTimeAt(record) + routing.timeOffset),
                          secondaryOf(records.returnNumberAt(record), records.scannerChannelAt(record),
                                      routing.byChannel)};
            const std::size_t shard = lookup.shardOf(key);
            if (shard == NO_SHARD) {
                throw std::invalid_argument(legs[piece.leg].string() + ": record " + std::to_string(index) +
                                            " has a key that no window of the plan holds");
            }
            include(facts.extent, records, record);
            addToTally(facts.tally, records, record);
            keys.add(key, facts);
            route(shard, piece.leg, record, length);
        }
        facts.points += piece.count;
    }
    if (!(facts.extent.minX <= facts.extent.maxX)) {
        facts.extent = PlanarExtent{};
    }
    if (keys.hasKey) {
        facts.firstPrimary = keys.first.primary;
        facts.firstSecondary = keys.first.secondary;
        facts.lastPrimary = keys.last.primary;
        facts.lastSecondary = keys.last.secondary;
        facts.tally.lowestTime = timeOf(keys.lowest) - routing.timeOffset;
        facts.tally.highestTime = timeOf(keys.highest) - routing.timeOffset;
    }
    return facts;
}

InputFacts wholeInputFacts(const std::vector<ShareFacts>& shares) {
    InputFacts whole;
    bool hasLast = false;
    Key last;
    for (const ShareFacts& share : shares) {
        whole.points += share.points;
        whole.nanTimes += share.nanTimes;
        include(whole.extent, share.extent);
        whole.tally.add(share.tally);
        const bool hasKey = share.points > share.nanTimes;
        const Key first{share.firstPrimary, share.firstSecondary};
        whole.inKeyOrder = whole.inKeyOrder && share.inKeyOrder && !(hasLast && hasKey && first < last);
        if (hasKey) {
            hasLast = true;
            last = {share.lastPrimary, share.lastSecondary};
        }
    }
    // As the comparison decides it: times that are all one cannot tell the points apart.
    whole.oneTime =
        whole.points > 1 && whole.nanTimes == 0 && whole.tally.lowestTime == whole.tally.highestTime;
    return whole;
}

} // namespace Orvid::Compare::Engine
