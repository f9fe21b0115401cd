#include <CompareEngine/CompareEngine.h>

#include "ChunkMatcher.h"
#include "ChunkScheduler.h"
#include "Input.h"
#include "InputScan.h"
#include "KeyIndex.h"
#include "KeySequence.h"
#include "Parallel.h"
#include "PointTallying.h"
#include "ProgressReporter.h"
#include "WindowPlan.h"

#include <FileIoInterface/Las/LasReader.h>

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
/// Memory that the comparison holds whatever the size of its inputs, for the budget: the scans'
/// samples, the planner's histograms, the index's bucket counts; per thread, the decisions and
/// decoded points of a worker and the scratch of an index sorter.
constexpr std::uint64_t FIXED_BYTES = std::uint64_t{8} << 20;
constexpr std::uint64_t BYTES_PER_WORKER = std::uint64_t{8} << 20;
/// The least that a window's key index may use, however small the budget.
constexpr std::uint64_t LEAST_INDEX_BYTES = std::uint64_t{64} << 10;

/// Share of a budget that the key index keeps however large the working memory's estimate: that
/// estimate is an upper bound (a worker uses about half of it), and starving the index multiplies the
/// passes over the inputs.
constexpr std::uint64_t LEAST_INDEX_SHARE = 3;

/// The bytes of a `budget` that go to the key index, the rest being working memory, estimated as
/// `working`.
std::uint64_t indexShare(std::uint64_t budget, std::uint64_t working) {
    return std::max({budget > working ? budget - working : 0, budget / LEAST_INDEX_SHARE, LEAST_INDEX_BYTES});
}

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

/// The points of the LAZ files among `files`, as their headers announce them; a file whose header
/// cannot be read counts none here, and fails when its input is opened.
std::uint64_t compressedPointsOf(const std::vector<std::filesystem::path>& files) {
    std::uint64_t points = 0;
    for (const std::filesystem::path& file : files) {
        try {
            const FileIoInterface::Las::LasHeader header = FileIoInterface::Las::readLasHeader(file);
            points += header.compressed ? header.pointCount : 0;
        } catch (const Core::IOException&) {
            // Opening the input says what is wrong, in the place where it always has.
        }
    }
    return points;
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

/// One input in one window: its sorted key index, or its stream's range of positions.
struct WindowSide {
    const Input* input = nullptr;
    const InputScan* scan = nullptr;
    bool streamed = false;
    KeyIndex index;
    /// Start of each chunk, and the end: positions when streamed, index offsets otherwise.
    std::vector<std::uint64_t> starts;

    std::uint64_t startOf(std::uint64_t primary, bool byChannel) const {
        if (streamed) {
            return scan->lowerBound(*input, primary, byChannel);
        }
        return static_cast<std::uint64_t>(std::lower_bound(index.begin(), index.end(), KeyEntry{primary, 0}) -
                                          index.begin());
    }

    KeySequence sequence(std::size_t chunk, bool byChannel) const {
        if (streamed) {
            return KeySequence::ofStream(*input, starts[chunk], starts[chunk + 1], byChannel);
        }
        return KeySequence::ofIndex(*input, index.begin() + starts[chunk], index.begin() + starts[chunk + 1]);
    }
};

/// Opens both inputs from their files, decoding their LAZ legs on `threads` threads, with progress.
std::array<Input, 2> openInputs(const std::vector<std::filesystem::path>& reference,
                                const std::vector<std::filesystem::path>& test, double timeOffset,
                                unsigned threads, const ProgressCallback& progress) {
    const std::uint64_t compressed = compressedPointsOf(reference) + compressedPointsOf(test);
    std::optional<ProgressReporter> decoding;
    FileIoInterface::Las::PointRecordsOptions options;
    options.decodingThreads = threads;
    if (compressed != 0) {
        decoding.emplace(progress, Phase::decoding, compressed);
        options.decoded = [&decoding](std::uint64_t points) { decoding->advance(points); };
    }
    std::array<Input, 2> inputs{Input(reference, 0.0, options), Input(test, timeOffset, options)};
    if (decoding) {
        decoding->finish();
    }
    return inputs;
}

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

    ComparisonOutcome run() {
        scanInputs();
        pairByPositionWhereTimesCannot();
        const std::uint64_t budget =
            mOptions.memoryBudget != 0 ? mOptions.memoryBudget : defaultMemoryBudget();
        const std::uint64_t working = FIXED_BYTES + BYTES_PER_WORKER * mThreads;
        std::vector<PlannedWindow> windows =
            planWindows({PlanInput{&mInputs[0], mScans[0].get()}, PlanInput{&mInputs[1], mScans[1].get()}},
                        indexShare(budget, working) / INDEX_BYTES_PER_POINT, mThreads, {});
        ComparisonOutcome outcome;
        setLeastWindows(windows, working, outcome);
        if (mOnly != nullptr) {
            windows = clipped(windows, *mOnly);
        }

        mSink.scanned(factsOf(0), factsOf(1));
        const unsigned matchers = mThreads == 1 ? 1 : MATCHERS_PER_THREAD * mThreads;
        for (unsigned matcher = 0; matcher < matchers; ++matcher) {
            mMatchers.push_back(std::make_unique<ChunkMatcher>(mInputs[0], mInputs[1], mOptions));
        }
        ProgressReporter comparing(mProgress, Phase::comparing, mInputs[0].size() + mInputs[1].size());
        const ReplayTarget target{&mSink, &outcome.classCounts, &comparing};
        for (const PlannedWindow& window : windows) {
            compareWindow(window, target);
        }
        comparing.finish();

        outcome.windows = windows.size();
        for (const std::unique_ptr<ChunkMatcher>& matcher : mMatchers) {
            outcome.differenceCounts += matcher->differenceCounts();
        }
        if (mOptions.compareExtraAttributes) {
            outcome.extraDifferenceCounts = extraDifferenceCounts();
        }
        outcome.reference = factsOf(0);
        outcome.test = factsOf(1);
        outcome.pairedByPosition = mInputs[0].timesIgnored() || (mOneTime[0] && mOneTime[1]);
        return outcome;
    }

private:
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
            mScans[side] =
                std::make_unique<InputScan>(mInputs[side], mOptions.pairByChannel, mThreads, advance);
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
        scanInputs();
    }

    /// Throws std::invalid_argument when the comparison is limited to time windows, which cannot
    /// cut inputs that pair by position (`why`).
    void refuseWindows(const std::string& why) const {
        if (mOnly != nullptr) {
            throw std::invalid_argument(why + ", and GPS-time windows cannot cut them into shards: "
                                              "compare them in one run");
        }
    }

    std::vector<std::pair<std::string, std::uint64_t>> extraDifferenceCounts() const {
        std::vector<std::pair<std::string, std::uint64_t>> counts;
        for (const ExtraRule& rule : mMatchers.front()->extraRules()) {
            counts.emplace_back(rule.name, 0);
        }
        for (const std::unique_ptr<ChunkMatcher>& matcher : mMatchers) {
            const std::vector<std::uint64_t>& mine = matcher->extraDifferenceCounts();
            for (std::size_t index = 0; index < mine.size(); ++index) {
                if (index == counts.size()) {
                    // Values beyond what the first legs describe.
                    counts.emplace_back("extra[" + std::to_string(index) + "]", 0);
                }
                counts[index].second += mine[index];
            }
        }
        return counts;
    }

    InputFacts factsOf(std::size_t side) const {
        InputFacts facts;
        if (mWhole) {
            facts = (*mWhole)[side];
        } else {
            facts.points = mScans[side]->points();
            facts.nanTimes = mScans[side]->nanTimes();
            facts.inKeyOrder = mScans[side]->inKeyOrder();
            facts.extent = mScans[side]->extent();
            facts.tally = mScans[side]->tally();
        }
        facts.oneTime = mOneTime[side];
        for (const std::unique_ptr<ChunkMatcher>& matcher : mMatchers) {
            facts.duplicateKeys += matcher->duplicates()[side].duplicateKeys;
            facts.duplicatesOnSameChannel += matcher->duplicates()[side].onSameChannel;
        }
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
                current.index =
                    buildKeyIndex(mInputs[side], window, planned.entries[side], byChannel, mThreads);
            }
        }

        // Chunks end at primary words, so that no key is split; NaN windows are one chunk.
        const std::vector<std::uint64_t> boundaries =
            window.nanTimes ? std::vector<std::uint64_t>{} : chunkBoundaries(sides, window);
        for (WindowSide& side : sides) {
            side.starts.assign(boundaries.size() + 2, 0);
            side.starts.front() = side.streamed ? side.startOf(window.lowest, byChannel) : 0;
            side.starts.back() = side.streamed ? side.startOf(window.end, byChannel) : side.index.size();
        }
        // A streamed side finds each start by reading up to a sample stride of records: as many
        // records as the window holds, in all, which would otherwise be read on one thread.
        runTasks(mThreads, boundaries.size(), [&](std::size_t boundary) {
            for (WindowSide& side : sides) {
                side.starts[boundary + 1] = side.startOf(boundaries[boundary], byChannel);
            }
        });
        runChunks(
            mMatchers, mThreads, boundaries.size() + 1,
            [&](std::size_t chunk) {
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
    /// Per input, whether all its points share one GPS time (`InputFacts::oneTime`).
    std::array<bool, 2> mOneTime{};
    std::vector<std::unique_ptr<ChunkMatcher>> mMatchers;
    DecisionSink& mSink;
    const ProgressCallback& mProgress;
    const std::vector<Window>* mOnly;
};

} // namespace

CompareEngine::CompareEngine(const EngineOptions& options)
    : mOptions(options) {}

ComparisonOutcome CompareEngine::compare(const std::vector<std::filesystem::path>& reference,
                                         const std::vector<std::filesystem::path>& test, DecisionSink& sink,
                                         const ProgressCallback& progress) const {
    return Comparison(mOptions, openInputs(reference, test, mOptions.timeOffset, threads(), progress), sink,
                      progress, nullptr)
        .run();
}

ComparisonOutcome CompareEngine::compare(const std::vector<std::filesystem::path>& reference,
                                         const std::vector<std::filesystem::path>& test, DecisionSink& sink,
                                         const ProgressCallback& progress,
                                         const std::vector<Window>& only) const {
    return Comparison(mOptions, openInputs(reference, test, mOptions.timeOffset, threads(), progress), sink,
                      progress, &only)
        .run();
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
