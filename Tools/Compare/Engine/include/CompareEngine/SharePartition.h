#pragma once

#include <CompareEngine/InputFacts.h>
#include <CompareEngine/InputShares.h>
#include <CompareEngine/RunKeys.h>
#include <CompareEngine/Window.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

namespace Orvid::Compare::Engine {

/// What reading one share of an input tells, in a form that adds up over the shares to the facts of
/// the whole input (see `wholeInputFacts`).
struct ShareFacts {
    std::uint64_t points = 0;
    std::uint64_t nanTimes = 0;
    /// Whether the share's points, NaN times left aside, follow each other in key order.
    bool inKeyOrder = true;
    /// The first and the last key (primary word, secondary word) of its points whose time is a
    /// number; meaningful when `points > nanTimes`.
    std::uint64_t firstPrimary = 0;
    std::uint64_t firstSecondary = 0;
    std::uint64_t lastPrimary = 0;
    std::uint64_t lastSecondary = 0;
    PlanarExtent extent;
    PointTally tally;
    /// Per shard of the routing, per leg of the input: what the keys of the records routed there tell.
    std::vector<std::vector<RunKeys>> runKeys;
};

/// How a share's records are keyed and where they go: the keys as the comparison makes them, and the
/// windows of every shard of a plan (`shards[k]` those of shard k).
struct ShareRouting {
    double timeOffset = 0.0;
    bool byChannel = false;
    std::vector<std::vector<Window>> shards;
};

/// A record of a share, with the shard whose windows hold its key.
struct RoutedRecord {
    std::size_t shard = 0;
    std::size_t leg = 0;
    /// Its position in its leg.
    std::uint64_t index = 0;
    const std::uint8_t* bytes = nullptr;
    std::size_t length = 0;
    /// Whether `bytes` lie where the leg's file holds them, mapped and stored uncompressed: records of
    /// consecutive positions then lie one after the other, for as long as the leg is read.
    bool inFile = false;
    /// Whether it is the last record of its leg in the share: the leg's bytes go once it is routed.
    bool lastOfLeg = false;
};

/// Called with each record of a share, in reading order.
using RecordRoute = std::function<void(const RoutedRecord& record)>;

/// Reads the records of `share` of an input whose legs are `legs` (timeOffset seconds added to its
/// times, as the comparison adds them) once, LAZ chunks decoded one at a time, hands each to `route`
/// and returns what the share tells. Throws Core::IOException naming the file when a leg cannot be read,
/// std::invalid_argument when a key falls in no window of `routing`.
ShareFacts partitionShare(const std::vector<std::filesystem::path>& legs, const InputShare& share,
                          const ShareRouting& routing, const RecordRoute& route);

/// The facts of a whole input from those of its `shares` in reading order, as a comparison's first
/// pass over the whole input finds them (duplicates aside, which pairing counts).
InputFacts wholeInputFacts(const std::vector<ShareFacts>& shares);

} // namespace Orvid::Compare::Engine
