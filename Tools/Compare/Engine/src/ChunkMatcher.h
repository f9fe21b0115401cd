#pragma once

#include "CandidateGrid.h"
#include "GroupPositions.h"
#include "IdenticalRecords.h"
#include "Input.h"
#include "KeySequence.h"
#include "PairClassifier.h"
#include "ProgressReporter.h"
#include "UnpairedBits.h"
#include "WorkTeam.h"

#include <CompareEngine/ComparisonOutcome.h>
#include <CompareEngine/Decision.h>
#include <CompareEngine/DecisionSink.h>
#include <CompareEngine/EngineOptions.h>

#include <FileIoInterface/Las/LasPoint.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace Orvid::Compare::Engine {

/// Duplicate keys met inside one input.
struct DuplicateCounts {
    std::uint64_t duplicateKeys = 0;
    std::uint64_t onSameChannel = 0;
};

/// What matching counts beside the decisions: the pairs that differ, per attribute and per extra
/// attribute (by position, see `ChunkMatcher::extraRules`), and the duplicates in the reference (0)
/// and the test (1).
struct MatchCounts {
    AttributeCounters differenceCounts;
    std::vector<std::uint64_t> extraDifferenceCounts;
    std::array<DuplicateCounts, 2> duplicates{};

    MatchCounts& operator+=(const MatchCounts& other);
};

/// What replaying decisions feeds: the sink, the class totals and the progress of the comparing phase.
struct ReplayTarget {
    DecisionSink* sink = nullptr;
    std::array<std::uint64_t, POINT_CLASS_COUNT>* classCounts = nullptr;
    ProgressReporter* progress = nullptr;
};

/// Pairs and classifies the points of the keys of a chunk, one worker thread's share (or, for a window
/// of one chunk, its large keys on a team of threads), and keeps the decisions with their decoded points
/// until they are replayed to the sink. Decoded points live in
/// slots reused from chunk to chunk, so that the steady state allocates nothing.
class ChunkMatcher {
public:
    ChunkMatcher(const Input& reference, const Input& test, const EngineOptions& options);

    /// Decides every key of the two sequences, on `threads` threads (the caller's among them) for keys
    /// of many points, on the caller's alone otherwise. `flush` is called on the caller's thread
    /// whenever the kept decisions reach the buffer's limit, and may be called before; it must replay
    /// them.
    void match(KeySequence& reference, KeySequence& test, const std::function<void()>& flush,
               unsigned threads = 1);
    /// From now on, the XY extent of the reference's points of each secondary word, when every key to
    /// match holds all of them (a window of the one time of the reference); null otherwise.
    void knowReferenceExtents(const std::array<PlanarExtent, SECONDARY_COUNT>* extents) {
        mReferenceExtents = extents;
    }
    /// Hands the kept decisions to `target`, in the order they were decided, and forgets them.
    void replay(const ReplayTarget& target);

    /// What the matcher counted so far.
    MatchCounts counts() const;
    const std::vector<ExtraRule>& extraRules() const { return mClassifier.extras(); }

private:
    struct Pending {
        PointClass pointClass = PointClass::unchanged;
        AttributeMask differences = 0;
        bool extraAttributesDiffer = false;
        PointId test;
        PointId reference;
        /// The records were equal byte for byte: only the reference point was decoded, and it stands
        /// for the test point too.
        bool oneDecodedPoint = false;
    };

    /// What a thread deciding points needs of its own: cursors over both inputs, and the differences
    /// it counted.
    struct Worker {
        std::array<InputReader, 2> readers;
        AttributeCounters differenceCounts;
        std::vector<std::uint64_t> extraDifferenceCounts;
    };
    /// How a test point of a large key is decided, once pairing has chosen: paired with candidate
    /// `reference` (`unchanged` here, the classifier deciding its class), modified against it, or added.
    struct Plan {
        PointClass pointClass = PointClass::added;
        std::size_t reference = 0;
    };

    /// Gathers into `group` the points of `sequence` from its current one on that have `key`.
    static void gather(KeySequence& sequence, const Key& key, GroupPositions& group);
    void matchGroup(const Key& key, const std::function<void()>& flush);
    /// Decides a key of one point on each side.
    void matchSinglePair(const std::function<void()>& flush);
    /// Decides the test points of the key one after the other, through the grid when `gridded`, through
    /// a scan of the candidates otherwise.
    void matchInTurn(bool gridded, const std::function<void()>& flush);
    /// Indexes the reference candidates of the group of `key` in `mGrid` on `team`; false when the group
    /// is small or its positions cannot be gridded, so that a linear scan is used.
    bool gridGroup(const Key& key, WorkTeam& team);
    /// Real coordinates of a record, read from its bytes as decoding would give them.
    struct Coordinates {
        double x = 0.0;
        double y = 0.0;
        double z = 0.0;
    };
    Coordinates coordinatesOf(Worker& worker, std::size_t side, std::uint64_t position);
    /// The grid's test of a reference candidate of the group, at x, y and z, against the test point at
    /// `test`: within epsilon on every axis.
    auto nearTo(const Coordinates& test) const;
    /// Decides the test points of a gridded key on the team: the helpers find the candidates within
    /// epsilon of a batch's test points, while this thread pairs the batch before, in reading order, and
    /// decodes and classifies its pairs.
    void matchTogether(WorkTeam& team, const std::function<void()>& flush);
    /// Finds the candidates near the key's test points `low` to `high - 1` into the buffers of their
    /// batches in `mNearby`, through `worker`.
    void findNearby(std::size_t low, std::size_t high, Worker& worker);
    /// Pairs the `count` test points from the key's test point `first` on, in reading order, through
    /// their batch's buffer in `mNearby`, into `mPlans`, on the matcher's worker.
    void planPairs(std::size_t first, std::size_t count);
    /// Decides the `count` test points planned from the key's test point `first` on, whose slots start
    /// at `firstSlot`, on this thread.
    void decidePlanned(std::size_t first, std::size_t count, std::size_t firstSlot);
    /// Takes a reference candidate of the group out of the grid's later searches.
    void takeFromGrid(std::size_t candidate);
    /// Decides the test point at `testPosition` in `slot` when it pairs with the first unpaired candidate
    /// within epsilon, found through the grid or a scan, and returns that candidate; otherwise returns
    /// the group's size with the test point decoded in the slot, and a scan leaves the last candidate it
    /// tried there too.
    std::size_t matchThroughGrid(std::size_t slot, std::uint64_t testPosition, PointId& testId,
                                 PointId& referenceId);
    std::size_t matchByScan(std::size_t slot, std::uint64_t testPosition, PointId& testId,
                            PointId& referenceId);
    /// Counts the duplicate keys of a group of several points on `side`, on `team`.
    void countDuplicates(std::size_t side, const GroupPositions& positions, WorkTeam& team);
    /// The slot of the next decision, its points ready to be decoded into.
    std::size_t nextSlot();
    /// Makes the slots of the next `count` decisions, their points ready to be decoded into.
    void reserveSlots(std::size_t count);
    void decode(Worker& worker, std::size_t side, std::uint64_t position,
                FileIoInterface::Las::LasPoint& point, PointId& id);
    void pair(Worker& worker, std::size_t slot, const PointId& testId, const PointId& referenceId);
    /// Decides the single pair of a key in `slot` as unchanged when its records are identical, decoding
    /// the reference point alone; false, with nothing decided, otherwise.
    bool decideIdentical(Worker& worker, std::size_t slot, std::uint64_t testPosition,
                         std::uint64_t referencePosition);
    /// The worker of the matcher's own thread.
    Worker& own() { return mWorkers.front(); }

    const Input* mInputs[2];
    /// The first serves the caller's thread, the others the team's helpers.
    std::vector<Worker> mWorkers;
    unsigned mThreads = 1;
    PairClassifier mClassifier;
    IdenticalRecords mIdentical;
    bool mByChannel;
    std::vector<Pending> mPending;
    std::vector<FileIoInterface::Las::LasPoint> mTestPoints;
    std::vector<FileIoInterface::Las::LasPoint> mReferencePoints;
    GroupPositions mGroup[2];
    /// The group's reference candidates still unpaired; the group's size ends every search.
    UnpairedBits mUnpaired;
    std::size_t mUnpairedCount = 0;
    CandidateGrid mGrid;
    /// See `knowReferenceExtents`.
    const std::array<PlanarExtent, SECONDARY_COUNT>* mReferenceExtents = nullptr;
    /// Per test point of a batch of a large key, its nearby candidates, in two buffers that alternate
    /// from batch to batch.
    std::array<std::vector<CandidateGrid::Nearby>, 2> mNearby;
    /// The plans of the test points being decided, a buffer's worth at most.
    std::vector<Plan> mPlans;
    std::array<DuplicateCounts, 2> mDuplicates{};
};

} // namespace Orvid::Compare::Engine
