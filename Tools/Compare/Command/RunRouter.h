#pragma once

#include "Command/PartitionWriter.h"

#include <CompareEngine/SharePartition.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Orvid::Compare {

/// Hands the records of a partition to the runs of their shards, leaving in place what a shard can read
/// from the input itself: long stretches of consecutive records of a stored leg that go to one shard
/// (an input in key order is hardly copied at all). Shorter stretches are copied into the shard's run
/// once they end (at the latest with their leg's last record), so that a shard reads few pieces.
class RunRouter {
public:
    /// Routes into `writer`, which has a run for each of `shards` shards.
    RunRouter(PartitionWriter& writer, std::size_t shards);

    /// Starts the records of input `side` (0 reference, 1 test), which has `legs` legs.
    void startInput(std::size_t side, std::size_t legs);

    /// Routes the next record of the input started last.
    void route(const Engine::RoutedRecord& record);

    /// Sets where `facts` say the records of each shard's legs lie.
    void describe(PartitionFacts& facts) const;

private:
    /// Places one record.
    void add(const Engine::RoutedRecord& record);

    /// Where the records of one leg that go to one shard lie so far.
    struct LegRecords {
        std::vector<RunSegment> segments;
        /// The last consecutive records, not yet placed: their count, the position and bytes of the first.
        std::uint64_t stretch = 0;
        std::uint64_t first = 0;
        const std::uint8_t* bytes = nullptr;
    };

    /// Places the stretch of `leg`, records of `length` bytes for shard `shard`, while its leg is read.
    void placeStretch(LegRecords& leg, std::size_t shard, std::size_t length);
    /// Copies `count` records of `length` bytes at `bytes` into the run of shard `shard`.
    void copy(LegRecords& leg, std::size_t shard, const std::uint8_t* bytes, std::uint64_t count,
              std::size_t length);

    PartitionWriter& mWriter;
    std::size_t mSide = 0;
    /// Per input, per shard, per leg.
    std::vector<std::vector<LegRecords>> mLegs[2];
};

} // namespace Orvid::Compare
