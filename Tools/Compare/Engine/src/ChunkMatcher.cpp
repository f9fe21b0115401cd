#include "ChunkMatcher.h"

#include <algorithm>

namespace Orvid::Compare::Engine {

namespace {

/// Decisions kept before they must be replayed: bounds a worker's decoded points to a few MiB.
constexpr std::size_t BUFFER_LIMIT = 8192;
constexpr std::size_t REFERENCE = 0;
constexpr std::size_t TEST = 1;
/// Reference candidates of a key from which they are found through a grid rather than a scan.
constexpr std::size_t GRID_FROM = 32;

std::vector<ExtraRule> rulesOf(const Input& reference, const Input& test, const EngineOptions& options) {
    static const std::vector<FileIoInterface::Attribute::Descriptor> NONE;
    // The first leg of each input names the extra attributes.
    return extraRules(reference.legCount() != 0 ? reference.leg(0).header().extraAttributes : NONE,
                      test.legCount() != 0 ? test.leg(0).header().extraAttributes : NONE, options);
}

} // namespace

ChunkMatcher::ChunkMatcher(const Input& reference, const Input& test, const EngineOptions& options)
    : mInputs{&reference, &test}
    , mReaders{InputReader(reference), InputReader(test)}
    , mClassifier(options, rulesOf(reference, test, options))
    , mIdentical(reference, test, options)
    , mByChannel(options.pairByChannel) {
    mPending.reserve(BUFFER_LIMIT + 1);
}

void ChunkMatcher::match(KeySequence& reference, KeySequence& test, const std::function<void()>& flush) {
    while (!reference.atEnd() || !test.atEnd()) {
        Key key;
        if (reference.atEnd()) {
            key = test.key();
        } else if (test.atEnd()) {
            key = reference.key();
        } else {
            key = std::min(reference.key(), test.key());
        }
        gather(reference, key, mGroup[REFERENCE]);
        gather(test, key, mGroup[TEST]);
        matchGroup(flush);
    }
}

void ChunkMatcher::gather(KeySequence& sequence, const Key& key, GroupPositions& group) {
    group.start(sequence.atEnd() ? nullptr : sequence.entry());
    for (; !sequence.atEnd() && sequence.key() == key; sequence.advance()) {
        group.add(sequence.position());
    }
}

std::size_t ChunkMatcher::nextSlot() {
    const std::size_t slot = mPending.size();
    if (slot == mTestPoints.size()) {
        mTestPoints.emplace_back();
        mReferencePoints.emplace_back();
    }
    mPending.emplace_back();
    return slot;
}

void ChunkMatcher::decode(std::size_t side, std::uint64_t position, FileIoInterface::Las::LasPoint& point,
                          PointId& id) {
    const std::size_t leg = mInputs[side]->legOf(position);
    mReaders[side].decode(position, leg, point);
    id = {static_cast<std::uint32_t>(leg), position - mInputs[side]->legStart(leg)};
}

bool ChunkMatcher::decideIdentical(std::size_t slot, std::uint64_t testPosition,
                                   std::uint64_t referencePosition) {
    const std::size_t testLeg = mInputs[TEST]->legOf(testPosition);
    const std::size_t referenceLeg = mInputs[REFERENCE]->legOf(referencePosition);
    const std::uint8_t* reference = mReaders[REFERENCE].record(referencePosition, referenceLeg);
    if (!mIdentical.unchanged(referenceLeg, reference, testLeg,
                              mReaders[TEST].record(testPosition, testLeg))) {
        return false;
    }
    mInputs[REFERENCE]->leg(referenceLeg).decodeAt(reference, mReferencePoints[slot]);
    const PointId testId{static_cast<std::uint32_t>(testLeg),
                         testPosition - mInputs[TEST]->legStart(testLeg)};
    const PointId referenceId{static_cast<std::uint32_t>(referenceLeg),
                              referencePosition - mInputs[REFERENCE]->legStart(referenceLeg)};
    mPending[slot] = {PointClass::unchanged, 0, false, testId, referenceId, true};
    return true;
}

void ChunkMatcher::pair(std::size_t slot, const PointId& testId, const PointId& referenceId) {
    const PairClassifier::Verdict verdict = mClassifier.classify(mTestPoints[slot], mReferencePoints[slot]);
    Pending& pending = mPending[slot];
    pending.pointClass = verdict.pointClass;
    pending.differences = verdict.differences;
    pending.extraAttributesDiffer = verdict.extraAttributesDiffer;
    pending.test = testId;
    pending.reference = referenceId;
    if (verdict.differences != 0) {
        mDifferenceCounts.count(verdict.differences);
    }
    if (verdict.extraAttributesDiffer) {
        mClassifier.countExtraDifferences(mTestPoints[slot], mReferencePoints[slot], mExtraDifferenceCounts);
    }
}

void ChunkMatcher::matchGroup(const std::function<void()>& flush) {
    const GroupPositions& references = mGroup[REFERENCE];
    const GroupPositions& tests = mGroup[TEST];
    if (references.size() > 1) {
        countDuplicates(REFERENCE, references);
    }
    if (tests.size() > 1) {
        countDuplicates(TEST, tests);
    }
    if (references.size() == 1 && tests.size() == 1) {
        // The usual key, one point on each side: they pair, or the test point is modified.
        const std::size_t slot = nextSlot();
        if (!decideIdentical(slot, tests[0], references[0])) {
            PointId testId;
            PointId referenceId;
            decode(TEST, tests[0], mTestPoints[slot], testId);
            decode(REFERENCE, references[0], mReferencePoints[slot], referenceId);
            if (mClassifier.withinEpsilon(mReferencePoints[slot], mTestPoints[slot])) {
                pair(slot, testId, referenceId);
            } else {
                mPending[slot] = {PointClass::modified, 0, false, testId, referenceId};
            }
        }
        if (mPending.size() >= BUFFER_LIMIT) {
            flush();
        }
        return;
    }
    const std::size_t candidates = references.size();
    mUnpaired.reset(candidates);
    std::size_t unpaired = candidates;
    const bool gridded = gridGroup();

    // Each test point, in reading order, against the reference points of its key still unpaired, in
    // reading order: the first within epsilon pairs; a single one beyond epsilon makes it modified.
    for (std::size_t testIndex = 0; testIndex < tests.size(); ++testIndex) {
        const std::uint64_t testPosition = tests[testIndex];
        const std::size_t slot = nextSlot();
        PointId testId;
        PointId referenceId;
        const std::size_t found = gridded ? matchThroughGrid(slot, testPosition, testId, referenceId)
                                          : matchByScan(slot, testPosition, testId, referenceId);
        if (found != candidates) {
            mUnpaired.take(found);
            if (gridded) {
                mGrid.pairedFound();
            }
            --unpaired;
        } else if (unpaired == 1) {
            const std::size_t only = mUnpaired.freeFrom(0);
            if (gridded) {
                decode(REFERENCE, references[only], mReferencePoints[slot], referenceId);
                takeFromGrid(only);
            }
            // A scan left the single candidate in the slot, as the last one it tried.
            mPending[slot] = {PointClass::modified, 0, false, testId, referenceId};
            mUnpaired.take(only);
            --unpaired;
        } else {
            mPending[slot] = {PointClass::added, 0, false, testId, {}};
        }
        if (mPending.size() >= BUFFER_LIMIT) {
            flush();
        }
    }
    for (std::size_t candidate = mUnpaired.freeFrom(0); candidate < candidates;
         candidate = mUnpaired.freeFrom(candidate + 1)) {
        const std::size_t slot = nextSlot();
        PointId referenceId;
        decode(REFERENCE, references[candidate], mReferencePoints[slot], referenceId);
        mPending[slot] = {PointClass::removed, 0, false, {}, referenceId};
        if (mPending.size() >= BUFFER_LIMIT) {
            flush();
        }
    }
}

bool ChunkMatcher::gridGroup() {
    const GroupPositions& references = mGroup[REFERENCE];
    if (references.size() < GRID_FROM || mGroup[TEST].size() < 2) {
        return false;
    }
    // Raw coordinates, read again from the records each time the grid asks, spare decoding and a copy.
    return mGrid.build(
        references.size(),
        [&](std::size_t candidate) {
            const std::uint64_t position = references[candidate];
            const std::size_t leg = mInputs[REFERENCE]->legOf(position);
            return mInputs[REFERENCE]->leg(leg).xyAt(mReaders[REFERENCE].record(position, leg));
        },
        mClassifier.epsilonXY());
}

void ChunkMatcher::takeFromGrid(std::size_t candidate) {
    const Coordinates at = coordinatesOf(REFERENCE, mGroup[REFERENCE][candidate]);
    mGrid.paired(candidate, at.x, at.y);
}

ChunkMatcher::Coordinates ChunkMatcher::coordinatesOf(std::size_t side, std::uint64_t position) {
    const std::size_t leg = mInputs[side]->legOf(position);
    const FileIoInterface::Las::PointRecords& records = mInputs[side]->leg(leg);
    const std::uint8_t* record = mReaders[side].record(position, leg);
    const std::array<double, 2> xy = records.xyAt(record);
    return {xy[0], xy[1], records.zAt(record)};
}

std::size_t ChunkMatcher::matchThroughGrid(std::size_t slot, std::uint64_t testPosition, PointId& testId,
                                           PointId& referenceId) {
    const GroupPositions& references = mGroup[REFERENCE];
    // The raw coordinates find the candidate; a pair is decoded only when its records differ.
    const Coordinates test = coordinatesOf(TEST, testPosition);
    const std::size_t found = mGrid.first(test.x, test.y, [&](std::size_t candidate, double x, double y) {
        return mClassifier.withinEpsilon(x, y, coordinatesOf(REFERENCE, references[candidate]).z, test.x,
                                         test.y, test.z);
    });
    if (found == CandidateGrid::NONE) {
        decode(TEST, testPosition, mTestPoints[slot], testId);
        return references.size();
    }
    if (decideIdentical(slot, testPosition, references[found])) {
        testId = mPending[slot].test;
        referenceId = mPending[slot].reference;
        return found;
    }
    decode(TEST, testPosition, mTestPoints[slot], testId);
    decode(REFERENCE, references[found], mReferencePoints[slot], referenceId);
    pair(slot, testId, referenceId);
    return found;
}

std::size_t ChunkMatcher::matchByScan(std::size_t slot, std::uint64_t testPosition, PointId& testId,
                                      PointId& referenceId) {
    const GroupPositions& references = mGroup[REFERENCE];
    const std::size_t candidates = references.size();
    decode(TEST, testPosition, mTestPoints[slot], testId);
    const FileIoInterface::Las::LasPoint& test = mTestPoints[slot];
    for (std::size_t candidate = mUnpaired.freeFrom(0); candidate < candidates;
         candidate = mUnpaired.freeFrom(candidate + 1)) {
        decode(REFERENCE, references[candidate], mReferencePoints[slot], referenceId);
        if (mClassifier.withinEpsilon(mReferencePoints[slot], test)) {
            pair(slot, testId, referenceId);
            return candidate;
        }
    }
    return candidates;
}

void ChunkMatcher::countDuplicates(std::size_t side, const GroupPositions& positions) {
    DuplicateCounts& counts = mDuplicates[side];
    counts.duplicateKeys += positions.size() - 1;
    if (mByChannel) {
        counts.onSameChannel += positions.size() - 1;
        return;
    }
    mChannels.clear();
    for (std::size_t index = 0; index < positions.size(); ++index) {
        const std::uint8_t channel = mReaders[side].channel(positions[index]);
        if (std::find(mChannels.begin(), mChannels.end(), channel) != mChannels.end()) {
            ++counts.onSameChannel;
        } else {
            mChannels.push_back(channel);
        }
    }
}

void ChunkMatcher::replay(const ReplayTarget& target) {
    Decision decision;
    for (std::size_t slot = 0; slot < mPending.size(); ++slot) {
        const Pending& pending = mPending[slot];
        decision.pointClass = pending.pointClass;
        decision.test = pending.test;
        decision.reference = pending.reference;
        decision.differences = pending.differences;
        decision.extraAttributesDiffer = pending.extraAttributesDiffer;
        if (pending.pointClass == PointClass::removed) {
            decision.testPoint = nullptr;
            decision.testRecord = nullptr;
        } else {
            decision.testPoint = pending.oneDecodedPoint ? &mReferencePoints[slot] : &mTestPoints[slot];
            decision.testRecord = mInputs[TEST]->recordInMemory(pending.test);
        }
        if (pending.pointClass == PointClass::added) {
            decision.referencePoint = nullptr;
            decision.referenceRecord = nullptr;
        } else {
            decision.referencePoint = &mReferencePoints[slot];
            decision.referenceRecord = mInputs[REFERENCE]->recordInMemory(pending.reference);
        }
        decision.displacement = {};
        if (pending.pointClass == PointClass::modified) {
            const FileIoInterface::Las::LasPoint& t = mTestPoints[slot];
            const FileIoInterface::Las::LasPoint& r = mReferencePoints[slot];
            decision.displacement = {t.getX() - r.getX(), t.getY() - r.getY(), t.getZ() - r.getZ()};
        }
        target.sink->decided(decision);
        ++(*target.classCounts)[static_cast<std::size_t>(pending.pointClass)];
        const bool twoPoints =
            pending.pointClass != PointClass::added && pending.pointClass != PointClass::removed;
        target.progress->advance(twoPoints ? 2 : 1);
    }
    mPending.clear();
}

} // namespace Orvid::Compare::Engine
