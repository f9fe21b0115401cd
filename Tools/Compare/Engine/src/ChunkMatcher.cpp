#include "ChunkMatcher.h"

#include <algorithm>
#include <bitset>

namespace Orvid::Compare::Engine {

namespace {

/// Decisions kept before they must be replayed: a worker's decoded points stay within the processor's
/// caches, where they are written when decided and read when replayed.
constexpr std::size_t BUFFER_LIMIT = 2048;
constexpr std::size_t REFERENCE = 0;
constexpr std::size_t TEST = 1;
/// Reference candidates of a key from which they are found through a grid rather than a scan.
constexpr std::size_t GRID_FROM = 32;
/// Test points of a large key whose nearby candidates the helpers find in one step: several buffers'
/// worth, so that the team meets seldom.
constexpr std::size_t TEAM_BATCH = 4 * BUFFER_LIMIT;
/// Test points of a gridded key from which its points are decided by a team of threads: enough
/// batches to pay for starting its threads.
constexpr std::size_t TEAM_FROM = 4 * TEAM_BATCH;
/// Test points that a member of a team takes at a time.
constexpr std::size_t TEAM_GRAIN = 256;
/// Scanner channels as a record holds them, in a byte.
constexpr std::size_t CHANNELS = 256;

/// Which of the two buffers of nearby candidates serves the batch of test point `index` of a large key:
/// batches alternate, so that one is filled while the other is used.
std::size_t parityOf(std::size_t index) {
    return index / TEAM_BATCH % 2;
}

std::vector<ExtraRule> rulesOf(const Input& reference, const Input& test, const EngineOptions& options) {
    static const std::vector<FileIoInterface::Attribute::Descriptor> NONE;
    // The first leg of each input names the extra attributes.
    return extraRules(reference.legCount() != 0 ? reference.leg(0).header().extraAttributes : NONE,
                      test.legCount() != 0 ? test.leg(0).header().extraAttributes : NONE, options);
}

} // namespace

MatchCounts& MatchCounts::operator+=(const MatchCounts& other) {
    differenceCounts += other.differenceCounts;
    extraDifferenceCounts.resize(std::max(extraDifferenceCounts.size(), other.extraDifferenceCounts.size()),
                                 0);
    for (std::size_t index = 0; index < other.extraDifferenceCounts.size(); ++index) {
        extraDifferenceCounts[index] += other.extraDifferenceCounts[index];
    }
    for (std::size_t side = 0; side < 2; ++side) {
        duplicates[side].duplicateKeys += other.duplicates[side].duplicateKeys;
        duplicates[side].onSameChannel += other.duplicates[side].onSameChannel;
    }
    return *this;
}

ChunkMatcher::ChunkMatcher(const Input& reference, const Input& test, const EngineOptions& options)
    : mInputs{&reference, &test}
    , mClassifier(options, rulesOf(reference, test, options))
    , mIdentical(reference, test, options)
    , mByChannel(options.pairByChannel) {
    mPending.reserve(BUFFER_LIMIT + 1);
    mWorkers.push_back({{InputReader(reference), InputReader(test)}, {}, {}});
}

MatchCounts ChunkMatcher::counts() const {
    MatchCounts counts;
    for (const Worker& worker : mWorkers) {
        counts += MatchCounts{worker.differenceCounts, worker.extraDifferenceCounts, {}};
    }
    counts.duplicates = mDuplicates;
    return counts;
}

void ChunkMatcher::match(KeySequence& reference, KeySequence& test, const std::function<void()>& flush,
                         unsigned threads) {
    mThreads = std::max(threads, 1u);
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
        matchGroup(key, flush);
    }
    // Decoded LAZ chunks that the cursors would keep alive until the matcher's next chunk would lie
    // beyond the chunk cache, one per cursor of every matcher waiting for its turn.
    for (Worker& worker : mWorkers) {
        for (InputReader& reader : worker.readers) {
            reader.release();
        }
    }
}

void ChunkMatcher::gather(KeySequence& sequence, const Key& key, GroupPositions& group) {
    group.start(sequence.atEnd() ? nullptr : sequence.entry());
    if (!sequence.atEnd() && sequence.entry() != nullptr) {
        if (sequence.key() == key) {
            group.addEntries(sequence.skipIndexedKey());
        }
        return;
    }
    for (; !sequence.atEnd() && sequence.key() == key; sequence.advance()) {
        group.add(sequence.position());
    }
}

auto ChunkMatcher::nearTo(const Coordinates& test) const {
    return [this, test](std::size_t, double x, double y, double z) {
        return mClassifier.withinEpsilon(x, y, z, test.x, test.y, test.z);
    };
}

void ChunkMatcher::reserveSlots(std::size_t count) {
    const std::size_t slots = mPending.size() + count;
    if (slots > mTestPoints.size()) {
        mTestPoints.resize(slots);
        mReferencePoints.resize(slots);
    }
    mPending.resize(slots);
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

void ChunkMatcher::decode(Worker& worker, std::size_t side, std::uint64_t position,
                          FileIoInterface::Las::LasPoint& point, PointId& id) {
    const std::size_t leg = mInputs[side]->legOf(position);
    worker.readers[side].decode(position, leg, point);
    id = {static_cast<std::uint32_t>(leg), position - mInputs[side]->legStart(leg)};
}

bool ChunkMatcher::decideIdentical(Worker& worker, std::size_t slot, std::uint64_t testPosition,
                                   std::uint64_t referencePosition) {
    const std::size_t testLeg = mInputs[TEST]->legOf(testPosition);
    const std::size_t referenceLeg = mInputs[REFERENCE]->legOf(referencePosition);
    const std::uint8_t* reference = worker.readers[REFERENCE].record(referencePosition, referenceLeg);
    if (!mIdentical.unchanged(referenceLeg, reference, testLeg,
                              worker.readers[TEST].record(testPosition, testLeg))) {
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

void ChunkMatcher::pair(Worker& worker, std::size_t slot, const PointId& testId, const PointId& referenceId) {
    const PairClassifier::Verdict verdict = mClassifier.classify(mTestPoints[slot], mReferencePoints[slot]);
    Pending& pending = mPending[slot];
    pending.pointClass = verdict.pointClass;
    pending.differences = verdict.differences;
    pending.extraAttributesDiffer = verdict.extraAttributesDiffer;
    pending.test = testId;
    pending.reference = referenceId;
    if (verdict.differences != 0) {
        worker.differenceCounts.count(verdict.differences);
    }
    if (verdict.extraAttributesDiffer) {
        mClassifier.countExtraDifferences(mTestPoints[slot], mReferencePoints[slot],
                                          worker.extraDifferenceCounts);
    }
}

void ChunkMatcher::matchGroup(const Key& key, const std::function<void()>& flush) {
    const GroupPositions& references = mGroup[REFERENCE];
    const GroupPositions& tests = mGroup[TEST];
    if (references.size() == 1 && tests.size() == 1) {
        matchSinglePair(flush);
        return;
    }
    // A team of one for most keys, which starts no thread.
    WorkTeam team(tests.size() >= TEAM_FROM ? mThreads : 1);
    while (mWorkers.size() < team.size()) {
        mWorkers.push_back({{InputReader(*mInputs[REFERENCE]), InputReader(*mInputs[TEST])}, {}, {}});
    }
    if (references.size() > 1) {
        countDuplicates(REFERENCE, references, team);
    }
    if (tests.size() > 1) {
        countDuplicates(TEST, tests, team);
    }
    mUnpaired.reset(references.size());
    mUnpairedCount = references.size();
    const bool gridded = gridGroup(key, team);
    if (gridded && team.size() > 1) {
        matchTogether(team, flush);
    } else {
        matchInTurn(gridded, flush);
    }
    for (std::size_t candidate = mUnpaired.freeFrom(0); candidate < references.size();
         candidate = mUnpaired.freeFrom(candidate + 1)) {
        const std::size_t slot = nextSlot();
        PointId referenceId;
        decode(own(), REFERENCE, references[candidate], mReferencePoints[slot], referenceId);
        mPending[slot] = {PointClass::removed, 0, false, {}, referenceId};
        if (mPending.size() >= BUFFER_LIMIT) {
            flush();
        }
    }
}

void ChunkMatcher::matchSinglePair(const std::function<void()>& flush) {
    const std::uint64_t test = mGroup[TEST][0];
    const std::uint64_t reference = mGroup[REFERENCE][0];
    // The usual key, one point on each side: they pair, or the test point is modified.
    const std::size_t slot = nextSlot();
    if (!decideIdentical(own(), slot, test, reference)) {
        PointId testId;
        PointId referenceId;
        decode(own(), TEST, test, mTestPoints[slot], testId);
        decode(own(), REFERENCE, reference, mReferencePoints[slot], referenceId);
        if (mClassifier.withinEpsilon(mReferencePoints[slot], mTestPoints[slot])) {
            pair(own(), slot, testId, referenceId);
        } else {
            mPending[slot] = {PointClass::modified, 0, false, testId, referenceId};
        }
    }
    if (mPending.size() >= BUFFER_LIMIT) {
        flush();
    }
}

void ChunkMatcher::matchInTurn(bool gridded, const std::function<void()>& flush) {
    const GroupPositions& references = mGroup[REFERENCE];
    const GroupPositions& tests = mGroup[TEST];
    const std::size_t candidates = references.size();
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
            --mUnpairedCount;
        } else if (mUnpairedCount == 1) {
            const std::size_t only = mUnpaired.freeFrom(0);
            if (gridded) {
                decode(own(), REFERENCE, references[only], mReferencePoints[slot], referenceId);
                takeFromGrid(only);
            }
            // A scan left the single candidate in the slot, as the last one it tried.
            mPending[slot] = {PointClass::modified, 0, false, testId, referenceId};
            mUnpaired.take(only);
            --mUnpairedCount;
        } else {
            mPending[slot] = {PointClass::added, 0, false, testId, {}};
        }
        if (mPending.size() >= BUFFER_LIMIT) {
            flush();
        }
    }
}

void ChunkMatcher::matchTogether(WorkTeam& team, const std::function<void()>& flush) {
    const std::size_t tests = mGroup[TEST].size();
    // Buffers that fill up, so that each is replayed as a whole.
    if (!mPending.empty()) {
        flush();
    }
    for (std::vector<CandidateGrid::Nearby>& nearby : mNearby) {
        nearby.resize(TEAM_BATCH);
    }
    mPlans.resize(BUFFER_LIMIT);
    const auto batchFrom = [&](std::size_t first, std::size_t most) {
        return first < tests ? std::min(most, tests - first) : 0;
    };
    team.share(batchFrom(0, TEAM_BATCH), TEAM_GRAIN,
               [&](std::size_t low, std::size_t high, std::size_t member) {
                   findNearby(low, high, mWorkers[member]);
               });
    for (std::size_t first = 0; first < tests; first += TEAM_BATCH) {
        const std::size_t next = first + TEAM_BATCH;
        // The helpers find the candidates near the next batch's test points while this thread pairs and
        // decides this batch's, a buffer at a time: its decoded points stay in this thread's caches
        // until replayed.
        team.share(
            batchFrom(next, TEAM_BATCH), TEAM_GRAIN,
            [&](std::size_t low, std::size_t high, std::size_t member) {
                findNearby(next + low, next + high, mWorkers[member]);
            },
            [&] {
                for (std::size_t part = first; part < next && part < tests; part += BUFFER_LIMIT) {
                    if (mPending.size() >= BUFFER_LIMIT) {
                        flush();
                    }
                    const std::size_t count = batchFrom(part, BUFFER_LIMIT);
                    const std::size_t firstSlot = mPending.size();
                    reserveSlots(count);
                    planPairs(part, count);
                    decidePlanned(part, count, firstSlot);
                }
            });
    }
}

void ChunkMatcher::findNearby(std::size_t low, std::size_t high, Worker& worker) {
    for (std::size_t index = low; index < high; ++index) {
        const Coordinates test = coordinatesOf(worker, TEST, mGroup[TEST][index]);
        mGrid.nearby(test.x, test.y, nearTo(test), mNearby[parityOf(index)][index % TEAM_BATCH]);
    }
}

void ChunkMatcher::planPairs(std::size_t first, std::size_t count) {
    const CandidateGrid::Nearby* nearby = &mNearby[parityOf(first)][first % TEAM_BATCH];
    for (std::size_t index = 0; index < count; ++index) {
        std::size_t found = mGrid.takeFirstUnpaired(nearby[index]);
        if (found == CandidateGrid::NONE && nearby[index].more) {
            // Every candidate found nearby is paired: the grid finds the first unpaired one beyond them.
            const Coordinates test = coordinatesOf(own(), TEST, mGroup[TEST][first + index]);
            found = mGrid.first(test.x, test.y, nearTo(test));
            if (found != CandidateGrid::NONE) {
                mGrid.pairedFound();
            }
        }
        Plan& plan = mPlans[index];
        if (found != CandidateGrid::NONE) {
            plan = {PointClass::unchanged, found};
        } else if (mUnpairedCount == 1) {
            found = mUnpaired.freeFrom(0);
            takeFromGrid(found);
            plan = {PointClass::modified, found};
        } else {
            plan = {PointClass::added, 0};
            continue;
        }
        mUnpaired.take(found);
        --mUnpairedCount;
    }
}

void ChunkMatcher::decidePlanned(std::size_t first, std::size_t count, std::size_t firstSlot) {
    const GroupPositions& references = mGroup[REFERENCE];
    Worker& worker = own();
    for (std::size_t index = 0; index < count; ++index) {
        const std::size_t slot = firstSlot + index;
        const std::uint64_t testPosition = mGroup[TEST][first + index];
        const Plan& plan = mPlans[index];
        if (plan.pointClass == PointClass::unchanged &&
            decideIdentical(worker, slot, testPosition, references[plan.reference])) {
            continue;
        }
        PointId testId;
        PointId referenceId;
        decode(worker, TEST, testPosition, mTestPoints[slot], testId);
        if (plan.pointClass == PointClass::added) {
            mPending[slot] = {PointClass::added, 0, false, testId, {}};
            continue;
        }
        decode(worker, REFERENCE, references[plan.reference], mReferencePoints[slot], referenceId);
        if (plan.pointClass == PointClass::unchanged) {
            pair(worker, slot, testId, referenceId);
        } else {
            mPending[slot] = {PointClass::modified, 0, false, testId, referenceId};
        }
    }
}

bool ChunkMatcher::gridGroup(const Key& key, WorkTeam& team) {
    const GroupPositions& references = mGroup[REFERENCE];
    if (references.size() < GRID_FROM || mGroup[TEST].size() < 2) {
        return false;
    }
    // Raw coordinates, read again from the records each time the grid asks, spare decoding and a copy.
    return mGrid.build(
        references.size(),
        [&](std::size_t candidate, std::size_t member) {
            const std::uint64_t position = references[candidate];
            const Coordinates at = coordinatesOf(mWorkers[member], REFERENCE, position);
            return std::array<double, 3>{at.x, at.y, at.z};
        },
        mClassifier.epsilonXY(), team,
        mReferenceExtents != nullptr ? &(*mReferenceExtents)[static_cast<std::size_t>(key.secondary)]
                                     : nullptr);
}

void ChunkMatcher::takeFromGrid(std::size_t candidate) {
    const Coordinates at = coordinatesOf(own(), REFERENCE, mGroup[REFERENCE][candidate]);
    mGrid.paired(candidate, at.x, at.y);
}

ChunkMatcher::Coordinates ChunkMatcher::coordinatesOf(Worker& worker, std::size_t side,
                                                      std::uint64_t position) {
    const std::size_t leg = mInputs[side]->legOf(position);
    const FileIoInterface::Las::PointRecords& records = mInputs[side]->leg(leg);
    const std::uint8_t* record = worker.readers[side].record(position, leg);
    const std::array<double, 2> xy = records.xyAt(record);
    return {xy[0], xy[1], records.zAt(record)};
}

std::size_t ChunkMatcher::matchThroughGrid(std::size_t slot, std::uint64_t testPosition, PointId& testId,
                                           PointId& referenceId) {
    const GroupPositions& references = mGroup[REFERENCE];
    // The raw coordinates find the candidate; a pair is decoded only when its records differ.
    const Coordinates test = coordinatesOf(own(), TEST, testPosition);
    const std::size_t found = mGrid.first(test.x, test.y, nearTo(test));
    if (found == CandidateGrid::NONE) {
        decode(own(), TEST, testPosition, mTestPoints[slot], testId);
        return references.size();
    }
    if (decideIdentical(own(), slot, testPosition, references[found])) {
        testId = mPending[slot].test;
        referenceId = mPending[slot].reference;
        return found;
    }
    decode(own(), TEST, testPosition, mTestPoints[slot], testId);
    decode(own(), REFERENCE, references[found], mReferencePoints[slot], referenceId);
    pair(own(), slot, testId, referenceId);
    return found;
}

std::size_t ChunkMatcher::matchByScan(std::size_t slot, std::uint64_t testPosition, PointId& testId,
                                      PointId& referenceId) {
    const GroupPositions& references = mGroup[REFERENCE];
    const std::size_t candidates = references.size();
    decode(own(), TEST, testPosition, mTestPoints[slot], testId);
    const FileIoInterface::Las::LasPoint& test = mTestPoints[slot];
    for (std::size_t candidate = mUnpaired.freeFrom(0); candidate < candidates;
         candidate = mUnpaired.freeFrom(candidate + 1)) {
        decode(own(), REFERENCE, references[candidate], mReferencePoints[slot], referenceId);
        if (mClassifier.withinEpsilon(mReferencePoints[slot], test)) {
            pair(own(), slot, testId, referenceId);
            return candidate;
        }
    }
    return candidates;
}

void ChunkMatcher::countDuplicates(std::size_t side, const GroupPositions& positions, WorkTeam& team) {
    DuplicateCounts& counts = mDuplicates[side];
    counts.duplicateKeys += positions.size() - 1;
    if (mByChannel || !mInputs[side]->hasChannels()) {
        counts.onSameChannel += positions.size() - 1;
        return;
    }
    // Each point after the first of its channel is a duplicate on the same channel.
    std::vector<std::bitset<CHANNELS>> channels(team.size());
    team.share(positions.size(), TEAM_GRAIN, [&](std::size_t low, std::size_t high, std::size_t member) {
        for (std::size_t index = low; index < high; ++index) {
            channels[member].set(mWorkers[member].readers[side].channel(positions[index]));
        }
    });
    for (std::size_t member = 1; member < channels.size(); ++member) {
        channels[0] |= channels[member];
    }
    counts.onSameChannel += positions.size() - channels[0].count();
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
