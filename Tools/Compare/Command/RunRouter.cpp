#include "Command/RunRouter.h"

namespace Orvid::Compare {
namespace {

/// Records of a stretch at least, for it to be left in its leg: each piece is a block that a shard
/// switches to.
constexpr std::uint64_t LEAST_LEFT_RECORDS = 4096;

} // namespace

RunRouter::RunRouter(PartitionWriter& writer, std::size_t shards)
    : mWriter(writer) {
    for (std::vector<std::vector<LegRecords>>& side : mLegs) {
        side.resize(shards);
    }
}

void RunRouter::startInput(std::size_t side, std::size_t legs) {
    mSide = side;
    for (std::vector<LegRecords>& shard : mLegs[side]) {
        shard.assign(legs, LegRecords{});
    }
}

void RunRouter::route(const Engine::RoutedRecord& record) {
    add(record);
    if (record.lastOfLeg) {
        // Still mapped: short stretches of the leg can be copied now, so that shards read few pieces.
        for (std::size_t shard = 0; shard < mLegs[mSide].size(); ++shard) {
            placeStretch(mLegs[mSide][shard][record.leg], shard, record.length);
        }
    }
}

void RunRouter::add(const Engine::RoutedRecord& record) {
    LegRecords& leg = mLegs[mSide][record.shard][record.leg];
    if (record.inFile && leg.stretch != 0 && record.index == leg.first + leg.stretch) {
        ++leg.stretch;
        return;
    }
    placeStretch(leg, record.shard, record.length);
    if (record.inFile) {
        leg.stretch = 1;
        leg.first = record.index;
        leg.bytes = record.bytes;
        return;
    }
    copy(leg, record.shard, record.bytes, 1, record.length);
}

void RunRouter::placeStretch(LegRecords& leg, std::size_t shard, std::size_t length) {
    if (leg.stretch >= LEAST_LEFT_RECORDS) {
        leg.segments.push_back({leg.stretch, leg.first});
    } else if (leg.stretch != 0) {
        copy(leg, shard, leg.bytes, leg.stretch, length);
    }
    leg.stretch = 0;
}

void RunRouter::copy(LegRecords& leg, std::size_t shard, const std::uint8_t* bytes, std::uint64_t count,
                     std::size_t length) {
    mWriter.add(shard, bytes, static_cast<std::size_t>(count) * length);
    if (!leg.segments.empty() && !leg.segments.back().firstInLeg) {
        leg.segments.back().records += count;
    } else {
        leg.segments.push_back({count, std::nullopt});
    }
}

void RunRouter::describe(PartitionFacts& facts) const {
    const std::size_t shards = mLegs[0].size();
    facts.runSegments.assign(shards, {});
    for (std::size_t shard = 0; shard < shards; ++shard) {
        for (std::size_t side = 0; side < 2; ++side) {
            for (const LegRecords& leg : mLegs[side][shard]) {
                facts.runSegments[shard][side].push_back(leg.segments);
            }
        }
    }
}

} // namespace Orvid::Compare
