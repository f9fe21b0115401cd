#include <CompareEngine/CompareEngine.h>
#include <CompareEngine/LazDecoding.h>

#include "BudgetShares.h"
#include "CheckedSide.h"
#include "ChunkMatcher.h"
#include "ChunkScheduler.h"
#include "Input.h"
#include "InputScan.h"
#include "KeyIndex.h"
#include "KeySearch.h"
#include "KeySequence.h"
#include "PointTallying.h"
#include "ProgressReporter.h"
#include "WindowPlan.h"
#include "WindowSide.h"

#include <FileIoInterface/Las/LasReader.h>
#include <FileIoInterface/Las/LazChunkCache.h>

#include <Core/IOException.h>
#include <Utils/UsableCpus.h>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

namespace Orvid::Compare::Engine {

namespace {

/// Points per chunk of work, about: large enough to keep the hand-over between threads rare, small
/// enough that a chunk's decisions fit a matcher's buffer, so that a worker need not wait mid-chunk
/// for the chunks before it to be replayed, and that its decoded points stay in the cache of the core
/// that decodes them until they are replayed (twice as many points cost two threads a tenth more).
constexpr std::uint64_t CHUNK_POINTS = 2048;
/// Matchers per worker thread: the spare ones let a worker match the next chunks while the one before
/// waits for its turn to be replayed, absorbing chunks that take longer than others.
constexpr unsigned MATCHERS_PER_THREAD = 4;
// Streamed chunks end at scan samples, at least one stride apart.
static_assert(CHUNK_POINTS >= InputScan::SAMPLE_STRIDE);
/// Sets the least windows of `outcome`, and the least budget that gives them, from the `planned`
/// windows under a working memory estimated as `working`.
void setLeastWindows(const std::vector<PlannedWindow>& planned, std::uint64_t working,
                     ComparisonOutcome& outcome) {
    std::array<std::uint64_t, 2> entries{};
    std::array<bool, 2> present{};
    for (const PlannedWindow& window : planned) {
        const std::size_t kind = window.window.nanTimes ? 1 : 0;
        present[kind] = true;
        entries[kind] += window.entries[0] + window.entries[1];
    }
    outcome.leastWindows = (present[0] ? 1u : 0u) + (present[1] ? 1u : 0u);
    const std::uint64_t indexBytes = std::max(entries[0], entries[1]) * INDEX_BYTES_PER_POINT;
    // The least budget whose index share holds `indexBytes`.
    outcome.leastWindowsBudget = std::min(working + indexBytes, LEAST_INDEX_SHARE * indexBytes);
}

/// The bytes that a run with `options` may hold.
std::uint64_t budgetOf(const EngineOptions& options) {
    return options.memoryBudget != 0 ? options.memoryBudget : defaultMemoryBudget();
}

/// The threads that a run with `options` starts at most.
unsigned threadsOf(const EngineOptions& options) {
    return options.threads != 0 ? options.threads : Utils::usableCpuCount();
}

/// The parts of `windows` inside `only`, in order.
std::vector<PlannedWindow> clipped(const std::vector<PlannedWindow>& windows,
                                   const std::vector<Window>& only) {
    std::vector<PlannedWindow> result;
    for (const PlannedWindow& planned : windows) {
        for (const Window& range : only) {
            if (range.nanTimes != planned.window.nanTimes) {
                continue;
            }
            PlannedWindow part = planned;
            part.window.lowest = std::max(planned.window.lowest, range.lowest);
            part.window.end = std::min(planned.window.end, range.end);
            if (part.window.lowest < part.window.end) {
                result.push_back(part);
            }
        }
    }
    return result;
}

/// The headers of `files`; a file whose header cannot be read has a default one here (no points), and
/// fails when its input is opened, in the place where it always has.
std::vector<FileIoInterface::Las::LasHeader> headersOf(const std::vector<std::filesystem::path>& files) {
    std::vector<FileIoInterface::Las::LasHeader> headers(files.size());
    for (std::size_t file = 0; file < files.size(); ++file) {
        try {
            headers[file] = FileIoInterface::Las::readLasHeader(files[file]);
        } catch (const Core::IOException&) {
            headers[file] = {};
        }
    }
    return headers;
}

/// What the keys of the records of `parts` tell, leg after leg; empty when the parts do not say it.
/// Throws std::invalid_argument when they say it for other legs than they hold.
std::vector<RunKeys> runKeysInReadingOrder(const InputParts& parts) {
    std::vector<RunKeys> keys;
    if (parts.runKeys.empty()) {
        return keys;
    }
    if (parts.runKeys.size() != parts.runs.size()) {
        throw std::invalid_argument("the key facts of an input's runs do not match its legs");
    }
    for (const std::vector<RunKeys>& leg : parts.runKeys) {
        keys.insert(keys.end(), leg.begin(), leg.end());
    }
    return keys;
}

/// The facts of `input`, in key order without NaN times, whose records tallied `tally`.
InputFacts factsOfStream(const Input& input, const StreamTally& tally) {
    InputFacts facts;
    facts.points = input.size();
    facts.inKeyOrder = true;
    include(facts.extent, tally.points.extent);
    facts.tally = tally.points.tally;
    // As for a scan, the keys' bounds less their offset give the time range.
    if (tally.lowest <= tally.highest && !input.timesIgnored()) {
        facts.tally.lowestTime = timeOf(tally.lowest) - input.timeOffset();
        facts.tally.highestTime = timeOf(tally.highest) - input.timeOffset();
    }
    return facts;
}

/// What the checked streams of one matcher tally of the reference and the test, on cache lines of its
/// own: the matchers of two threads tally record after record, and lines that both wrote would pass
/// from core to core at every record.
struct alignas(64) MatcherTallies {
    std::array<StreamTally, 2> sides;
};

/// Both inputs opened from their files, and where their LAZ legs were decoded.
struct OpenedInputs {
    std::array<Input, 2> inputs;
    LazDecodingPlan decoding;
};

/// Decoded LAZ chunks that a comparison on `threads` threads keeps for its legs read chunk by chunk:
/// enough for every thread's scan or chunk and the spare matchers' reads around it.
std::size_t cachedChunks(unsigned threads) {
    return 2 * std::size_t{threads} + 2;
}

/// Opens both inputs from their files, decoding their LAZ legs on `threads` threads, with progress,
/// into memory as far as half of `memoryBudget` holds them; the others are read chunk by chunk.
OpenedInputs openInputs(const std::vector<std::filesystem::path>& reference,
                        const std::vector<std::filesystem::path>& test, double timeOffset, unsigned threads,
                        std::uint64_t memoryBudget, const ProgressCallback& progress) {
    const std::array<std::vector<FileIoInterface::Las::LasHeader>, 2> headers{headersOf(reference),
                                                                              headersOf(test)};
    const LazDecodingPlan decoding = planLazDecoding(headers, memoryBudget, threads);
    std::uint64_t decodedPoints = 0;
    for (std::size_t side = 0; side < 2; ++side) {
        for (std::size_t leg = 0; leg < headers[side].size(); ++leg) {
            decodedPoints += decoding.inMemory[side][leg] ? headers[side][leg].pointCount : 0;
        }
    }
    std::optional<ProgressReporter> decodingProgress;
    FileIoInterface::Las::PointRecordsOptions options;
    options.decodingThreads = threads;
    options.lazAccess = FileIoInterface::Las::LazAccess::chunkByChunk;
    if (decoding.byChunkBytes != 0) {
        options.chunkCache = std::make_shared<FileIoInterface::Las::LazChunkCache>(cachedChunks(threads));
    }
    if (decodedPoints != 0) {
        decodingProgress.emplace(progress, Phase::decoding, decodedPoints);
        options.decoded = [&decodingProgress](std::uint64_t points) { decodingProgress->advance(points); };
    }
    OpenedInputs opened{{Input(reference, 0.0, options, decoding.inMemory[0]),
                         Input(test, timeOffset, options, decoding.inMemory[1])},
                        decoding};
    if (decodingProgress) {
        decodingProgress->finish();
    }
    return opened;
}

/// What a pass over inputs in key order, stopped by a record out of order, decided for good: every
/// key below `cut`, from the records before `starts` in each input, unless a later record has such a
/// key too; and what was counted of them.
struct SettledPrefix {
    std::uint64_t cut = 0;
    std::array<std::uint64_t, 2> starts{};
    MatchCounts counts;
};

class Comparison {
public:
    /// Compares `inputs`, all of their keys or those in `only`; `whole`, when given, the facts of the
    /// whole inputs of which `inputs` hold only the records in `only`.
    /// `runKeys`, when given for an input, what the keys of its runs tell, in reading order.
    Comparison(const EngineOptions& options, std::array<Input, 2> inputs, DecisionSink& sink,
               const ProgressCallback& progress, const std::vector<Window>* only,
               const std::optional<std::array<InputFacts, 2>>& whole = std::nullopt,
               std::array<std::vector<RunKeys>, 2> runKeys = {})
        : mOptions(options)
        , mThreads(threadsOf(options))
        , mInputs(std::move(inputs))
        , mWhole(whole)
        , mRunKeys(std::move(runKeys))
        , mSink(sink)
        , mProgress(progress)
        , mOnly(only) {
        if (options.pairByPosition) {
            refuseWindows("the inputs pair by position");
            for (Input& input : mInputs) {
                input.ignoreTimes();
            }
        }
    }

    /// Counts `bytes` of decoded LAZ records in memory against the budget.
    void holdDecodedInMemory(std::uint64_t bytes) { mDecodedInMemory = bytes; }

    ComparisonOutcome run() {
        if (!mayBeInKeyOrder()) {
            return compareScanned();
        }
        ComparisonOutcome outcome;
        if (compareInOnePass(outcome)) {
            return outcome;
        }
        // Out of key order: the scan goes on from what the pass settled, or starts again without it.
        mMatchers.clear();
        if (!mSettled) {
            mSink.restart();
            outcome = {};
        }
        return compareScanned(std::move(outcome));
    }

private:
    /// Whether the inputs may be in key order, to be compared as they are read: whole inputs, mapped
    /// or in memory, paired by time, first and last points with times that are numbers (points of NaN
    /// time are indexed) and not one time (which makes one key of a whole input, for the scan's way
    /// with it), for a sink that can start again should they turn out not to be.
    bool mayBeInKeyOrder() const {
        if (mOnly != nullptr || mWhole || pairedByPosition() || !mSink.restartable()) {
            return false;
        }
        for (std::size_t side = 0; side < 2; ++side) {
            const Input& input = mInputs[side];
            if (!mRunKeys[side].empty() || input.size() < 2 || input.pointsReadByChunk() != 0) {
                return false;
            }
            InputReader reader(input);
            const std::uint64_t first = primaryAt(input, reader, 0);
            const std::uint64_t last = primaryAt(input, reader, input.size() - 1);
            if (first == NAN_PRIMARY || last == NAN_PRIMARY || last <= first) {
                return false;
            }
        }
        return true;
    }

    /// Compares inputs in key order as their records are read, without a pass over their keys first,
    /// into `outcome`: each chunk's records are checked to be in key order and within the chunk's keys,
    /// and tallied for the facts, which the sink receives last. False at the first record that is not,
    /// once every worker has stopped, with what the chunks replayed by then settled in `mSettled`.
    bool compareInOnePass(ComparisonOutcome& outcome) {
        const bool byChannel = mOptions.pairByChannel;
        const Input& larger = mInputs[mInputs[0].size() >= mInputs[1].size() ? 0 : 1];
        const StreamCuts cuts(larger, CHUNK_POINTS);
        const std::array<CheckedSide, 2> sides{CheckedSide(mInputs[0], cuts, larger.size()),
                                               CheckedSide(mInputs[1], cuts, larger.size())};

        setLeastWindows({PlannedWindow{Window{false, 0, NAN_PRIMARY}, {}}}, workingMemory(), outcome);
        makeMatchers();
        std::vector<MatcherTallies> tallies(mMatchers.size());
        // Each matcher's counts when the last of its chunks was replayed whole: a matcher takes its next
        // chunk only then, so these are the counts of the chunks replayed.
        std::vector<MatchCounts> replayedCounts(mMatchers.size());
        std::size_t replayedChunks = 0;
        bool partlyReplayed = false;
        const ChunkReplayed replayed = [&](std::size_t chunk, const ChunkMatcher& matcher, bool whole) {
            partlyReplayed = !whole;
            if (whole) {
                replayedChunks = chunk + 1;
                replayedCounts[matcherIndex(matcher)] = matcher.counts();
            }
        };
        ProgressReporter comparing(mProgress, Phase::comparing, mInputs[0].size() + mInputs[1].size());
        const ReplayTarget target{&mSink, &outcome.classCounts, &comparing};
        try {
            runChunks(
                mMatchers, mThreads, cuts.chunks(),
                [&](std::size_t chunk, const ChunkMatcher& matcher) {
                    std::array<StreamTally, 2>& tally = tallies[matcherIndex(matcher)].sides;
                    return ChunkSequences(sides[0].sequence(chunk, byChannel, tally[0]),
                                          sides[1].sequence(chunk, byChannel, tally[1]));
                },
                target, replayed);
        } catch (const OutOfKeyOrder&) {
            // The chunks replayed whole hold every key below the next one's cut that their records
            // have; a chunk replayed in part holds some of its keys' decisions only.
            const std::array<std::optional<std::uint64_t>, 2> starts{sides[0].knownStart(replayedChunks),
                                                                     sides[1].knownStart(replayedChunks)};
            if (replayedChunks != 0 && !partlyReplayed && starts[0] && starts[1]) {
                mSettled = SettledPrefix{cuts.primary(replayedChunks), {*starts[0], *starts[1]}, {}};
                for (const MatchCounts& counts : replayedCounts) {
                    mSettled->counts += counts;
                }
            }
            return false;
        }
        comparing.finish();

        for (std::size_t side = 0; side < 2; ++side) {
            StreamTally total;
            for (const MatcherTallies& tally : tallies) {
                total.add(tally.sides[side]);
            }
            mStreamedFacts[side] = factsOfStream(mInputs[side], total);
            mOneTime[side] = shareOneTime(mInputs[side].size(), 0, mStreamedFacts[side].tally);
        }
        mSink.scanned(factsOf(0), factsOf(1));
        finish(outcome, 1);
        return true;
    }

    /// Scans the inputs' keys first, then compares them window by window, each input streamed when in
    /// key order and read through a key index otherwise; after a pass that settled a prefix, only the
    /// keys from its cut on, into `outcome`, which holds the prefix's, provided that the scan finds
    /// no later record below the cut. The sink then receives the facts last.
    ComparisonOutcome compareScanned(ComparisonOutcome outcome = {}) {
        if (pairedByPosition()) {
            decodeWholeLegs();
        }
        scanInputs();
        if (mSettled && (mScans[0]->pointsBelow() != mSettled->starts[0] ||
                         mScans[1]->pointsBelow() != mSettled->starts[1])) {
            mSettled.reset();
            mSink.restart();
            outcome = {};
        }
        pairByPositionWhereTimesCannot();
        decodeWholeWhereReadByIndex();
        const std::uint64_t working = workingMemory();
        std::vector<PlannedWindow> windows =
            planWindows({PlanInput{&mInputs[0], mScans[0].get()}, PlanInput{&mInputs[1], mScans[1].get()}},
                        indexShare(budgetOf(mOptions), working) / INDEX_BYTES_PER_POINT, mThreads, {});
        setLeastWindows(windows, working, outcome);
        if (mOnly != nullptr) {
            windows = clipped(windows, *mOnly);
        }
        std::uint64_t points = mInputs[0].size() + mInputs[1].size();
        if (mSettled) {
            windows =
                clipped(windows, {Window{false, mSettled->cut, NAN_PRIMARY}, Window{true, 0, NAN_PRIMARY}});
            points -= mSettled->starts[0] + mSettled->starts[1];
        } else {
            mSink.scanned(factsOf(0), factsOf(1));
        }
        makeMatchers();
        ProgressReporter comparing(mProgress, Phase::comparing, points);
        const ReplayTarget target{&mSink, &outcome.classCounts, &comparing};
        for (const PlannedWindow& window : windows) {
            compareWindow(window, target);
        }
        comparing.finish();
        finish(outcome, windows.size());
        if (mSettled) {
            mSink.scanned(outcome.reference, outcome.test);
        }
        return outcome;
    }

    /// The working memory that the budget must leave: LAZ records decoded into memory hold their part
    /// of it as the workers' memory does.
    std::uint64_t workingMemory() const { return workingBytes(mThreads) + mDecodedInMemory; }

    void makeMatchers() {
        const unsigned matchers = mThreads == 1 ? 1 : MATCHERS_PER_THREAD * mThreads;
        for (unsigned matcher = 0; matcher < matchers; ++matcher) {
            mMatchers.push_back(std::make_unique<ChunkMatcher>(mInputs[0], mInputs[1], mOptions));
        }
    }

    std::size_t matcherIndex(const ChunkMatcher& matcher) const {
        return static_cast<std::size_t>(
            std::find_if(mMatchers.begin(), mMatchers.end(),
                         [&](const std::unique_ptr<ChunkMatcher>& mine) { return mine.get() == &matcher; }) -
            mMatchers.begin());
    }

    /// Completes `outcome` of a comparison in `windows` windows with what the matchers counted and the
    /// facts of the inputs.
    void finish(ComparisonOutcome& outcome, std::size_t windows) const {
        outcome.windows = windows;
        const MatchCounts counts = matchCounts();
        outcome.differenceCounts = counts.differenceCounts;
        if (mOptions.compareExtraAttributes) {
            outcome.extraDifferenceCounts = extraDifferenceCounts(counts.extraDifferenceCounts);
        }
        outcome.reference = factsOf(0);
        outcome.test = factsOf(1);
        outcome.pairedByPosition = pairedByPosition();
        outcome.temporaryBytes = mTemporaryBytes;
    }

    void scanInputs() {
        ProgressReporter indexing(mProgress, Phase::indexing, mInputs[0].size() + mInputs[1].size());
        const auto advance = [&](std::uint64_t points) { indexing.advance(points); };
        for (std::size_t side = 0; side < 2; ++side) {
            if (!mRunKeys[side].empty() && !mInputs[side].timesIgnored()) {
                mScans[side] =
                    std::make_unique<InputScan>(mInputs[side], mRunKeys[side], mOptions.pairByChannel);
                advance(mInputs[side].size());
                continue;
            }
            mScans[side] = std::make_unique<InputScan>(mInputs[side], mOptions.pairByChannel, mThreads,
                                                       advance, mSettled ? mSettled->cut : 0);
        }
        indexing.finish();
    }

    /// Times that are all one in each input tell their points apart no better than no time: when they
    /// differ, every time is taken as 0 and the inputs scanned again; one same time pairs by position
    /// as it is, in one key group. When only one input has a single time, the other's times still
    /// tell points apart, and pairing stays by time.
    void pairByPositionWhereTimesCannot() {
        for (std::size_t side = 0; side < 2; ++side) {
            const InputScan& scan = *mScans[side];
            // Of inputs compared in part, the whole inputs decide, as they would in one run.
            mOneTime[side] = mWhole ? (*mWhole)[side].oneTime
                                    : !mInputs[side].timesIgnored() &&
                                          shareOneTime(scan.points(), scan.nanTimes(), scan.tally());
        }
        if (!mOneTime[0] || !mOneTime[1]) {
            return;
        }
        refuseWindows("all points of the reference and all points of the test share one GPS time each, so "
                      "the inputs pair by position");
        const auto keyTime = [&](std::size_t side) {
            return mScans[side]->tally().lowestTime + mInputs[side].timeOffset();
        };
        if (keyTime(0) == keyTime(1)) {
            return;
        }
        for (Input& input : mInputs) {
            input.ignoreTimes();
        }
        decodeWholeLegs();
        scanInputs();
    }

    /// LAZ legs read chunk by chunk serve an input streamed in key order; an input read through its key
    /// index (out of key order, or with points of NaN time), or paired by position (one key whose
    /// candidates lie anywhere), has them decoded whole into the temporary folder first, where records
    /// read in any order cost no decoding.
    void decodeWholeWhereReadByIndex() {
        const bool byPosition = pairedByPosition();
        for (std::size_t side = 0; side < 2; ++side) {
            if (byPosition || !mScans[side]->inKeyOrder() || mScans[side]->nanTimes() != 0) {
                decodeWholeLegs(side);
            }
        }
    }

    /// Decodes whole the LAZ legs of both inputs, before a scan that would otherwise decode them chunk by
    /// chunk only for them to be decoded whole after it.
    void decodeWholeLegs() {
        decodeWholeLegs(0);
        decodeWholeLegs(1);
    }

    void decodeWholeLegs(std::size_t side) {
        const std::uint64_t points = mInputs[side].pointsReadByChunk();
        if (points == 0) {
            return;
        }
        ProgressReporter decoding(mProgress, Phase::decoding, points);
        FileIoInterface::Las::PointRecordsOptions options;
        options.decodingThreads = mThreads;
        options.decoded = [&decoding](std::uint64_t decoded) { decoding.advance(decoded); };
        mTemporaryBytes += mInputs[side].decodeWhole(options);
        decoding.finish();
    }

    bool pairedByPosition() const { return mInputs[0].timesIgnored() || (mOneTime[0] && mOneTime[1]); }

    /// Throws std::invalid_argument when the comparison is limited to time windows, which cannot
    /// cut inputs that pair by position (`why`).
    void refuseWindows(const std::string& why) const {
        if (mOnly != nullptr) {
            throw std::invalid_argument(why + ", and GPS-time windows cannot cut them into shards: "
                                              "compare them in one run");
        }
    }

    /// What the matchers counted, and the settled prefix.
    MatchCounts matchCounts() const {
        MatchCounts counts = mSettled ? mSettled->counts : MatchCounts{};
        for (const std::unique_ptr<ChunkMatcher>& matcher : mMatchers) {
            counts += matcher->counts();
        }
        return counts;
    }

    /// The extra attributes' names with their `counts`.
    std::vector<std::pair<std::string, std::uint64_t>>
    extraDifferenceCounts(const std::vector<std::uint64_t>& counts) const {
        std::vector<std::pair<std::string, std::uint64_t>> named;
        for (const ExtraRule& rule : mMatchers.front()->extraRules()) {
            named.emplace_back(rule.name, 0);
        }
        for (std::size_t index = 0; index < counts.size(); ++index) {
            if (index == named.size()) {
                // Values beyond what the first legs describe.
                named.emplace_back("extra[" + std::to_string(index) + "]", 0);
            }
            named[index].second = counts[index];
        }
        return named;
    }

    InputFacts factsOf(std::size_t side) const {
        InputFacts facts;
        if (mWhole) {
            facts = (*mWhole)[side];
        } else if (!mScans[side]) {
            facts = mStreamedFacts[side];
        } else {
            facts.points = mScans[side]->points();
            facts.nanTimes = mScans[side]->nanTimes();
            facts.inKeyOrder = mScans[side]->inKeyOrder();
            facts.extent = mScans[side]->extent();
            facts.tally = mScans[side]->tally();
        }
        facts.oneTime = mOneTime[side];
        const DuplicateCounts duplicates = matchCounts().duplicates[side];
        facts.duplicateKeys += duplicates.duplicateKeys;
        facts.duplicatesOnSameChannel += duplicates.onSameChannel;
        return facts;
    }

    void compareWindow(const PlannedWindow& planned, const ReplayTarget& target) {
        const bool byChannel = mOptions.pairByChannel;
        const Window& window = planned.window;
        std::array<WindowSide, 2> sides;
        for (std::size_t side = 0; side < 2; ++side) {
            WindowSide& current = sides[side];
            current.input = &mInputs[side];
            current.scan = mScans[side].get();
            current.streamed = !window.nanTimes && mScans[side]->inKeyOrder();
            if (!current.streamed) {
                // The reference's candidates of a key are gridded: the extent of a key that holds all of
                // them spares the grid a pass.
                current.index = buildKeyIndex(mInputs[side], window, planned.entries[side], byChannel,
                                              mThreads, mScans[side]->countsIn(window), side == 0);
            }
        }

        for (const std::unique_ptr<ChunkMatcher>& matcher : mMatchers) {
            matcher->knowReferenceExtents(sides[0].streamed ? nullptr : sides[0].index.extentsBySecondary());
        }
        // Chunks end at primary words, so that no key is split; NaN windows are one chunk.
        const std::vector<std::uint64_t> boundaries =
            window.nanTimes ? std::vector<std::uint64_t>{} : chunkBoundaries(sides, window);
        for (WindowSide& side : sides) {
            side.cut(boundaries, window.lowest, window.end, byChannel);
        }
        runChunks(
            mMatchers, mThreads, boundaries.size() + 1,
            [&](std::size_t chunk, const ChunkMatcher&) {
                return ChunkSequences(sides[0].sequence(chunk, byChannel),
                                      sides[1].sequence(chunk, byChannel));
            },
            target);
    }

    /// Primary words that cut a time window into chunks of about `CHUNK_POINTS` points of its largest
    /// side, ascending, inside the window.
    std::vector<std::uint64_t> chunkBoundaries(const std::array<WindowSide, 2>& sides,
                                               const Window& window) const {
        std::vector<std::uint64_t> candidates;
        const WindowSide* largestIndex = nullptr;
        for (const WindowSide& side : sides) {
            if (!side.streamed &&
                (largestIndex == nullptr || side.index.size() > largestIndex->index.size())) {
                largestIndex = &side;
            }
        }
        if (largestIndex != nullptr) {
            for (std::size_t entry = CHUNK_POINTS; entry < largestIndex->index.size();
                 entry += CHUNK_POINTS) {
                candidates.push_back(largestIndex->index[entry].primary);
            }
        } else {
            const WindowSide& larger = sides[0].input->size() >= sides[1].input->size() ? sides[0] : sides[1];
            const std::vector<std::uint64_t>& samples = larger.scan->samples();
            const std::size_t step = static_cast<std::size_t>(CHUNK_POINTS / InputScan::SAMPLE_STRIDE);
            for (std::size_t sample = step; sample < samples.size(); sample += step) {
                candidates.push_back(samples[sample]);
            }
        }
        std::vector<std::uint64_t> boundaries;
        for (const std::uint64_t candidate : candidates) {
            if (candidate > window.lowest && candidate < window.end &&
                (boundaries.empty() || candidate > boundaries.back())) {
                boundaries.push_back(candidate);
            }
        }
        return boundaries;
    }

    const EngineOptions& mOptions;
    unsigned mThreads;
    std::array<Input, 2> mInputs;
    std::optional<std::array<InputFacts, 2>> mWhole;
    std::array<std::vector<RunKeys>, 2> mRunKeys;
    std::array<std::unique_ptr<InputScan>, 2> mScans;
    /// The facts of inputs compared in one pass, without a scan.
    std::array<InputFacts, 2> mStreamedFacts;
    /// Per input, whether all its points share one GPS time (`InputFacts::oneTime`).
    std::array<bool, 2> mOneTime{};
    std::vector<std::unique_ptr<ChunkMatcher>> mMatchers;
    /// What a pass over inputs found out of key order had settled, while it stands.
    std::optional<SettledPrefix> mSettled;
    DecisionSink& mSink;
    const ProgressCallback& mProgress;
    const std::vector<Window>* mOnly;
    std::uint64_t mDecodedInMemory = 0;
    std::uint64_t mTemporaryBytes = 0;
};

/// Compares the inputs of `reference` and `test` files, all of their keys or those in `only`.
ComparisonOutcome compareFiles(const EngineOptions& options,
                               const std::vector<std::filesystem::path>& reference,
                               const std::vector<std::filesystem::path>& test, DecisionSink& sink,
                               const ProgressCallback& progress, const std::vector<Window>* only) {
    OpenedInputs opened =
        openInputs(reference, test, options.timeOffset, threadsOf(options), budgetOf(options), progress);
    Comparison comparison(options, std::move(opened.inputs), sink, progress, only);
    comparison.holdDecodedInMemory(opened.decoding.memoryBytes);
    return comparison.run();
}

} // namespace

CompareEngine::CompareEngine(const EngineOptions& options)
    : mOptions(options) {}

ComparisonOutcome CompareEngine::compare(const std::vector<std::filesystem::path>& reference,
                                         const std::vector<std::filesystem::path>& test, DecisionSink& sink,
                                         const ProgressCallback& progress) const {
    return compareFiles(mOptions, reference, test, sink, progress, nullptr);
}

ComparisonOutcome CompareEngine::compare(const std::vector<std::filesystem::path>& reference,
                                         const std::vector<std::filesystem::path>& test, DecisionSink& sink,
                                         const ProgressCallback& progress,
                                         const std::vector<Window>& only) const {
    return compareFiles(mOptions, reference, test, sink, progress, &only);
}

ComparisonOutcome CompareEngine::compare(const std::array<InputParts, 2>& parts, DecisionSink& sink,
                                         const ProgressCallback& progress,
                                         const std::vector<Window>& only) const {
    std::array<Input, 2> inputs{Input(parts[0], 0.0), Input(parts[1], mOptions.timeOffset)};
    return Comparison(mOptions, std::move(inputs), sink, progress, &only,
                      std::array<InputFacts, 2>{parts[0].whole, parts[1].whole},
                      {runKeysInReadingOrder(parts[0]), runKeysInReadingOrder(parts[1])})
        .run();
}

unsigned CompareEngine::threads() const {
    return threadsOf(mOptions);
}

} // namespace Orvid::Compare::Engine
