#pragma once

#include "CandidateGrid.h"
#include "GroupPositions.h"
#include "IdenticalRecords.h"
#include "Input.h"
#include "KeySequence.h"
#include "PairClassifier.h"
#include "ProgressReporter.h"
#include "UnpairedLinks.h"

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

/// What replaying decisions feeds: the sink, the class totals and the progress of the comparing phase.
struct ReplayTarget {
    DecisionSink* sink = nullptr;
    std::array<std::uint64_t, POINT_CLASS_COUNT>* classCounts = nullptr;
    ProgressReporter* progress = nullptr;
};

/// Pairs and classifies the points of the keys of a chunk, one worker thread's share, and keeps the
/// decisions with their decoded points until they are replayed to the sink. Decoded points live in
/// slots reused from chunk to chunk, so that the steady state allocates nothing.
class ChunkMatcher {
public:
    ChunkMatcher(const Input& reference, const Input& test, const EngineOptions& options);

    /// Decides every key of the two sequences. `flush` is called whenever the kept decisions reach
    /// the buffer's limit; it must replay them.
    void match(KeySequence& reference, KeySequence& test, const std::function<void()>& flush);
    /// Hands the kept decisions to `target`, in the order they were decided, and forgets them.
    void replay(const ReplayTarget& target);

    const AttributeCounters& differenceCounts() const { return mDifferenceCounts; }
    /// Per extra attribute (by position, see `extraRules`), the pairs that differ in it.
    const std::vector<std::uint64_t>& extraDifferenceCounts() const { return mExtraDifferenceCounts; }
    const std::vector<ExtraRule>& extraRules() const { return mClassifier.extras(); }
    /// Duplicates in the reference (0) and the test (1).
    const std::array<DuplicateCounts, 2>& duplicates() const { return mDuplicates; }

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

    /// Gathers into `group` the points of `sequence` from its current one on that have `key`.
    static void gather(KeySequence& sequence, const Key& key, GroupPositions& group);
    void matchGroup(const std::function<void()>& flush);
    /// Indexes the group's reference candidates in `mGrid`; false when the group is small or its
    /// positions cannot be gridded, so that a linear scan is used.
    bool gridGroup();
    /// Real coordinates of a record, read from its bytes as decoding would give them.
    struct Coordinates {
        double x = 0.0;
        double y = 0.0;
        double z = 0.0;
    };
    Coordinates coordinatesOf(std::size_t side, std::uint64_t position);
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
    void countDuplicates(std::size_t side, const GroupPositions& positions);
    /// The slot of the next decision, its points ready to be decoded into.
    std::size_t nextSlot();
    void decode(std::size_t side, std::uint64_t position, FileIoInterface::Las::LasPoint& point, PointId& id);
    void pair(std::size_t slot, const PointId& testId, const PointId& referenceId);
    /// Decides the single pair of a key in `slot` as unchanged when its records are identical, decoding
    /// the reference point alone; false, with nothing decided, otherwise.
    bool decideIdentical(std::size_t slot, std::uint64_t testPosition, std::uint64_t referencePosition);

    const Input* mInputs[2];
    std::array<InputReader, 2> mReaders;
    PairClassifier mClassifier;
    IdenticalRecords mIdentical;
    bool mByChannel;
    std::vector<Pending> mPending;
    std::vector<FileIoInterface::Las::LasPoint> mTestPoints;
    std::vector<FileIoInterface::Las::LasPoint> mReferencePoints;
    GroupPositions mGroup[2];
    /// The group's reference candidates still unpaired; the group's size ends every search.
    UnpairedLinks mUnpaired;
    std::vector<std::uint8_t> mChannels;
    CandidateGrid mGrid;
    AttributeCounters mDifferenceCounts;
    std::vector<std::uint64_t> mExtraDifferenceCounts;
    std::array<DuplicateCounts, 2> mDuplicates{};
};

} // namespace Orvid::Compare::Engine
