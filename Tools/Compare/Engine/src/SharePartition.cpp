#include <CompareEngine/SharePartition.h>

#include "Input.h"
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
        const std::size_t after = rangesFrom(key.primary);
        if (after == 0 || key.primary >= mTimes[after - 1].end) {
            return NO_SHARD;
        }
        return mTimes[after - 1].shard;
    }

private:
    /// Windows of plans are few, one or a handful per shard: a branch-free count is quicker than a
    /// search whose branches a shuffled input mispredicts.
    static constexpr std::size_t COUNTED_RANGES = 64;

    /// The number of ranges that start at or below `primary`.
    std::size_t rangesFrom(std::uint64_t primary) const {
        if (mTimes.size() > COUNTED_RANGES) {
            return static_cast<std::size_t>(std::upper_bound(mTimes.begin(), mTimes.end(), primary,
                                                             [](std::uint64_t value, const TimeRange& range) {
                                                                 return value < range.lowest;
                                                             }) -
                                            mTimes.begin());
        }
        std::size_t count = 0;
        for (const TimeRange& range : mTimes) {
            count += range.lowest <= primary ? 1 : 0;
        }
        return count;
    }

    struct TimeRange {
        std::uint64_t lowest;
        std::uint64_t end;
        std::size_t shard;
    };
    std::vector<TimeRange> mTimes;
    std::array<std::size_t, SECONDARY_COUNT> mNanShards{};
};

} // namespace

ShareFacts partitionShare(const std::vector<std::filesystem::path>& legs, const InputShare& share,
                          const ShareRouting& routing, const RecordRoute& route) {
    const WindowLookup lookup(routing.shards);
    ShareFacts facts;
    facts.extent = GROWING_EXTENT;
    KeyTally keys;
    std::vector<std::vector<SecondaryKeyTally>> runKeys(routing.shards.size(),
                                                        std::vector<SecondaryKeyTally>(legs.size()));
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
        const bool inFile = records.contiguousRecords() != nullptr;
        for (std::uint64_t index = piece.first; index < piece.first + piece.count; ++index) {
            const std::uint8_t* record = cursor.record(index);
            const Key key =
                keyOf(records.gpsTimeAt(record) + routing.timeOffset, records, record, routing.byChannel);
            const std::size_t shard = lookup.shardOf(key);
            if (shard == NO_SHARD) {
                throw std::invalid_argument(legs[piece.leg].string() + ": record " + std::to_string(index) +
                                            " has a key that no window of the plan holds");
            }
            include(facts.extent, records, record);
            addToTally(facts.tally, records, record);
            keys.add(key);
            runKeys[shard][piece.leg].add(key);
            route({shard, piece.leg, index, record, length, inFile, index + 1 == piece.first + piece.count});
        }
        facts.points += piece.count;
    }
    if (!(facts.extent.minX <= facts.extent.maxX)) {
        facts.extent = PlanarExtent{};
    }
    for (const std::vector<SecondaryKeyTally>& shard : runKeys) {
        facts.runKeys.emplace_back();
        for (const SecondaryKeyTally& leg : shard) {
            facts.runKeys.back().push_back(leg.runKeys());
        }
    }
    facts.nanTimes = keys.nanTimes;
    facts.inKeyOrder = keys.inKeyOrder;
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
    KeyTally keys;
    for (const ShareFacts& share : shares) {
        whole.points += share.points;
        include(whole.extent, share.extent);
        whole.tally.add(share.tally);
        KeyTally part;
        part.nanTimes = share.nanTimes;
        part.inKeyOrder = share.inKeyOrder;
        part.hasKey = share.points > share.nanTimes;
        part.first = {share.firstPrimary, share.firstSecondary};
        part.last = {share.lastPrimary, share.lastSecondary};
        keys.append(part);
    }
    whole.nanTimes = keys.nanTimes;
    whole.inKeyOrder = keys.inKeyOrder;
    // As the comparison decides it: times that are all one cannot tell the points apart.
    whole.oneTime = shareOneTime(whole.points, whole.nanTimes, whole.tally);
    return whole;
}

} // namespace Orvid::Compare::Engine
