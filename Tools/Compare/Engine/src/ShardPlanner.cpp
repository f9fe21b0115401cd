#include <CompareEngine/ShardPlanner.h>

#include "Input.h"
#include "InputScan.h"
#include "KeyEncoding.h"
#include "Parallel.h"

#include <algorithm>
#include <array>
#include <memory>
#include <stdexcept>
#include <thread>

namespace Orvid::Compare::Engine {

namespace {

/// Bins of one histogram of a span of primary words.
constexpr unsigned HISTOGRAM_BITS = 12;
constexpr std::size_t HISTOGRAM_BINS = std::size_t{1} << HISTOGRAM_BITS;
/// Refinements at most: each narrows a cut's span 4096-fold, so six reach single words.
constexpr int MOST_PASSES = 6;

/// Where one cut is sought: the span of primary words [`lowest`, `end`) that holds it, and the points
/// of both inputs below that span.
struct Cut {
    std::uint64_t target = 0;
    std::uint64_t lowest = 0;
    std::uint64_t end = 0;
    std::uint64_t below = 0;
    bool settled = false;
};

unsigned shiftFor(std::uint64_t span) {
    unsigned shift = 0;
    while (shift < 64 && (span >> shift) >= HISTOGRAM_BINS) {
        ++shift;
    }
    return shift;
}

/// Cuts the time points of two inputs into parts of about equal size at primary words.
class CutFinder {
public:
    CutFinder(const std::array<const Input*, 2>& inputs, unsigned threads)
        : mInputs(inputs)
        , mThreads(threads) {}

    /// The counts of points below each returned cut equal about `total` x k / `parts`; the cuts rise.
    std::vector<Cut> find(std::uint64_t lowest, std::uint64_t highest, std::uint64_t total,
                          std::size_t parts) {
        std::vector<Cut> cuts;
        for (std::size_t part = 1; part < parts; ++part) {
            cuts.push_back({total * part / parts, lowest, highest + 1, 0, false});
        }
        // A cut is settled when its span is one word, or when its bin is small beside a part.
        const std::uint64_t closeEnough = std::max<std::uint64_t>(total / (parts * 1024), 1);
        for (int pass = 0; pass < MOST_PASSES; ++pass) {
            std::vector<std::size_t> open;
            for (std::size_t index = 0; index < cuts.size(); ++index) {
                if (!cuts[index].settled) {
                    open.push_back(index);
                }
            }
            if (open.empty()) {
                break;
            }
            refine(cuts, open, closeEnough, pass + 1 == MOST_PASSES);
        }
        return cuts;
    }

private:
    /// Counts the points of every distinct open span in bins, then narrows each open cut to its bin.
    void refine(std::vector<Cut>& cuts, const std::vector<std::size_t>& open, std::uint64_t closeEnough,
                bool last) {
        // Open cuts share a span or have disjoint ones, in rising order.
        std::vector<std::pair<std::uint64_t, std::uint64_t>> spans;
        for (const std::size_t index : open) {
            const std::pair<std::uint64_t, std::uint64_t> span{cuts[index].lowest, cuts[index].end};
            if (spans.empty() || spans.back() != span) {
                spans.push_back(span);
            }
        }
        std::vector<unsigned> shifts;
        for (const auto& [lowest, end] : spans) {
            shifts.push_back(shiftFor(end - lowest - 1));
        }
        const std::vector<std::uint64_t> bins = histogram(spans, shifts);

        for (const std::size_t index : open) {
            Cut& cut = cuts[index];
            const auto span = static_cast<std::size_t>(
                std::lower_bound(spans.begin(), spans.end(), std::pair{cut.lowest, cut.end}) - spans.begin());
            const std::uint64_t* counts = bins.data() + span * HISTOGRAM_BINS;
            const unsigned shift = shifts[span];
            std::uint64_t before = cut.below;
            std::size_t bin = 0;
            const std::size_t binCount = static_cast<std::size_t>(((cut.end - cut.lowest - 1) >> shift) + 1);
            while (bin + 1 < binCount && before + counts[bin] <= cut.target) {
                before += counts[bin];
                ++bin;
            }
            const std::uint64_t binLowest = cut.lowest + (std::uint64_t{bin} << shift);
            const std::uint64_t binEnd =
                bin + 1 == binCount ? cut.end : binLowest + (std::uint64_t{1} << shift);
            if (binEnd - binLowest == 1 || counts[bin] <= closeEnough || last) {
                // The nearer edge of the bin.
                const std::uint64_t through = before + counts[bin];
                const bool upper = through > cut.target && through - cut.target < cut.target - before;
                cut.lowest = upper ? binEnd : binLowest;
                cut.below = upper ? before + counts[bin] : before;
                cut.end = cut.lowest;
                cut.settled = true;
            } else {
                cut.lowest = binLowest;
                cut.end = binEnd;
                cut.below = before;
            }
        }
    }

    std::vector<std::uint64_t> histogram(const std::vector<std::pair<std::uint64_t, std::uint64_t>>& spans,
                                         const std::vector<unsigned>& shifts) const {
        const unsigned parts = std::max(mThreads, 1u);
        std::vector<std::vector<std::uint64_t>> partBins(
            parts, std::vector<std::uint64_t>(spans.size() * HISTOGRAM_BINS, 0));
        for (const Input* input : mInputs) {
            runTasks(parts, parts, [&](std::size_t part) {
                std::vector<std::uint64_t>& mine = partBins[part];
                input->forEachRecord(
                    input->size() * part / parts, input->size() * (part + 1) / parts,
                    [&](std::uint64_t, const std::uint8_t* record,
                        const FileIoInterface::Las::PointRecords& records) {
                        const std::uint64_t primary = primaryOf(records.gpsTimeAt(record));
                        const auto after = std::upper_bound(
                            spans.begin(), spans.end(), primary,
                            [](std::uint64_t value, const auto& span) { return value < span.first; });
                        if (after == spans.begin() || primary >= std::prev(after)->second) {
                            return;
                        }
                        const auto span = static_cast<std::size_t>(after - spans.begin() - 1);
                        ++mine[span * HISTOGRAM_BINS +
                               static_cast<std::size_t>((primary - spans[span].first) >> shifts[span])];
                    });
            });
        }
        std::vector<std::uint64_t> bins(spans.size() * HISTOGRAM_BINS, 0);
        for (const std::vector<std::uint64_t>& part : partBins) {
            for (std::size_t bin = 0; bin < bins.size(); ++bin) {
                bins[bin] += part[bin];
            }
        }
        return bins;
    }

    std::array<const Input*, 2> mInputs;
    unsigned mThreads;
};

InputFacts factsOf(const InputScan& scan) {
    InputFacts facts;
    facts.points = scan.points();
    facts.nanTimes = scan.nanTimes();
    facts.inKeyOrder = scan.inKeyOrder();
    return facts;
}

} // namespace

ShardPlanning planShards(const std::vector<std::filesystem::path>& reference,
                         const std::vector<std::filesystem::path>& test, std::size_t shards, bool byChannel,
                         unsigned threads) {
    if (shards == 0) {
        throw std::invalid_argument("a comparison needs at least one shard");
    }
    const unsigned workers = threads != 0 ? threads : std::max(std::thread::hardware_concurrency(), 1u);
    const Input referenceInput(reference);
    const Input testInput(test);
    const InputScan referenceScan(referenceInput, byChannel, workers, {});
    const InputScan testScan(testInput, byChannel, workers, {});

    ShardPlanning planning;
    planning.reference = factsOf(referenceScan);
    planning.test = factsOf(testScan);
    const std::uint64_t nanTimes = referenceScan.nanTimes() + testScan.nanTimes();
    const std::uint64_t timed = referenceScan.points() + testScan.points() - nanTimes;
    const Window allNanTimes{true, 0, SECONDARY_COUNT};

    const std::size_t timeShards = nanTimes != 0 && shards > 1 ? shards - 1 : shards;
    std::vector<Cut> cuts;
    if (timed != 0 && timeShards > 1) {
        cuts = CutFinder({&referenceInput, &testInput}, workers)
                   .find(std::min(referenceScan.lowestPrimary(), testScan.lowestPrimary()),
                         referenceScan.hasTimes() && testScan.hasTimes()
                             ? std::max(referenceScan.highestPrimary(), testScan.highestPrimary())
                             : (referenceScan.hasTimes() ? referenceScan.highestPrimary()
                                                         : testScan.highestPrimary()),
                         timed, timeShards);
    } else {
        cuts.assign(timeShards - 1, Cut{0, NAN_PRIMARY, NAN_PRIMARY, timed, true});
    }
    std::uint64_t lowest = 0;
    std::uint64_t below = 0;
    for (std::size_t shard = 0; shard < timeShards; ++shard) {
        const bool lastTime = shard + 1 == timeShards;
        const std::uint64_t end = lastTime ? NAN_PRIMARY : cuts[shard].lowest;
        const std::uint64_t through = lastTime ? timed : cuts[shard].below;
        PlannedShard planned{{Window{false, lowest, end}}, through - below};
        lowest = std::max(lowest, end);
        below = through;
        planning.shards.push_back(planned);
    }
    if (nanTimes != 0) {
        if (shards == 1) {
            planning.shards.back().windows.push_back(allNanTimes);
            planning.shards.back().points += nanTimes;
        } else {
            planning.shards.push_back({{allNanTimes}, nanTimes});
        }
    }
    return planning;
}

} // namespace Orvid::Compare::Engine
