#include "WindowPlan.h"

#include "Parallel.h"

#include <algorithm>

namespace Orvid::Compare::Engine {

namespace {

constexpr unsigned HISTOGRAM_BITS = 16;

class Planner {
public:
    Planner(const std::array<PlanInput, 2>& inputs, std::uint64_t maxEntries, unsigned threads,
            const std::function<void(std::uint64_t)>& advance)
        : mInputs(inputs)
        , mMaxEntries(std::max<std::uint64_t>(maxEntries, 1))
        , mThreads(threads)
        , mAdvance(advance) {}

    std::vector<PlannedWindow> plan() {
        planTimes();
        planNanTimes();
        return std::move(mWindows);
    }

private:
    bool indexed(std::size_t side) const { return !mInputs[side].scan->inKeyOrder(); }

    void planTimes() {
        std::uint64_t lowest = NAN_PRIMARY;
        std::uint64_t highest = 0;
        std::array<std::uint64_t, 2> entries{};
        for (std::size_t side = 0; side < 2; ++side) {
            const InputScan& scan = *mInputs[side].scan;
            if (scan.hasTimes()) {
                lowest = std::min(lowest, scan.lowestPrimary());
                highest = std::max(highest, scan.highestPrimary());
                entries[side] = indexed(side) ? scan.points() - scan.nanTimes() : 0;
            }
        }
        if (lowest > highest) {
            return;
        }
        // The highest primary word of a number is below NAN_PRIMARY, so the end cannot overflow.
        refine(lowest, highest + 1, entries);
    }

    /// Windows for [lowest, end), which holds `entries` indexed points per side.
    void refine(std::uint64_t lowest, std::uint64_t end, const std::array<std::uint64_t, 2>& entries) {
        if (entries[0] + entries[1] <= mMaxEntries || end - lowest == 1) {
            mWindows.push_back({{false, lowest, end}, entries});
            return;
        }
        unsigned shift = 0;
        while (((end - lowest - 1) >> shift) >= (std::uint64_t{1} << HISTOGRAM_BITS)) {
            ++shift;
        }
        const std::size_t binCount = static_cast<std::size_t>(((end - lowest - 1) >> shift) + 1);
        const std::array<std::vector<std::uint64_t>, 2> bins = histogram(lowest, end, shift, binCount);

        const auto binStart = [&](std::size_t bin) { return lowest + (std::uint64_t{bin} << shift); };
        std::size_t first = 0;
        std::array<std::uint64_t, 2> held{};
        for (std::size_t bin = 0; bin < binCount; ++bin) {
            const std::array<std::uint64_t, 2> here{bins[0][bin], bins[1][bin]};
            if (here[0] + here[1] > mMaxEntries) {
                if (bin > first) {
                    mWindows.push_back({{false, binStart(first), binStart(bin)}, held});
                }
                const std::uint64_t binEnd = bin + 1 == binCount ? end : binStart(bin + 1);
                refine(binStart(bin), binEnd, here);
                first = bin + 1;
                held = {};
                continue;
            }
            if (held[0] + held[1] + here[0] + here[1] > mMaxEntries) {
                mWindows.push_back({{false, binStart(first), binStart(bin)}, held});
                first = bin;
                held = {};
            }
            held[0] += here[0];
            held[1] += here[1];
        }
        if (first < binCount) {
            mWindows.push_back({{false, binStart(first), end}, held});
        }
    }

    std::array<std::vector<std::uint64_t>, 2> histogram(std::uint64_t lowest, std::uint64_t end,
                                                        unsigned shift, std::size_t binCount) {
        std::array<std::vector<std::uint64_t>, 2> bins{std::vector<std::uint64_t>(binCount, 0),
                                                       std::vector<std::uint64_t>(binCount, 0)};
        for (std::size_t side = 0; side < 2; ++side) {
            if (!indexed(side)) {
                continue;
            }
            const Input& input = *mInputs[side].input;
            const unsigned parts = std::max(mThreads, 1u);
            std::vector<std::vector<std::uint64_t>> partBins(parts, std::vector<std::uint64_t>(binCount, 0));
            runTasks(parts, parts, [&](std::size_t part) {
                std::vector<std::uint64_t>& mine = partBins[part];
                input.forEachRecord(input.size() * part / parts, input.size() * (part + 1) / parts,
                                    [&](std::uint64_t, const std::uint8_t* record,
                                        const FileIoInterface::Las::PointRecords& records) {
                                        const std::uint64_t primary =
                                            primaryOf(input.keyTimeAt(records, record));
                                        if (primary >= lowest && primary < end) {
                                            ++mine[static_cast<std::size_t>((primary - lowest) >> shift)];
                                        }
                                    });
            });
            for (const std::vector<std::uint64_t>& part : partBins) {
                for (std::size_t bin = 0; bin < binCount; ++bin) {
                    bins[side][bin] += part[bin];
                }
            }
            if (mAdvance) {
                mAdvance(input.size());
            }
        }
        return bins;
    }

    void planNanTimes() {
        std::array<std::uint64_t, 2> held{};
        std::uint64_t first = 0;
        for (std::uint64_t secondary = 0; secondary < SECONDARY_COUNT; ++secondary) {
            const std::array<std::uint64_t, 2> here{mInputs[0].scan->nanTimesBySecondary()[secondary],
                                                    mInputs[1].scan->nanTimesBySecondary()[secondary]};
            if (here[0] + here[1] == 0) {
                continue;
            }
            if (held[0] + held[1] != 0 && held[0] + held[1] + here[0] + here[1] > mMaxEntries) {
                mWindows.push_back({{true, first, secondary}, held});
                held = {};
            }
            if (held[0] + held[1] == 0) {
                first = secondary;
            }
            held[0] += here[0];
            held[1] += here[1];
        }
        if (held[0] + held[1] != 0) {
            mWindows.push_back({{true, first, SECONDARY_COUNT}, held});
        }
    }

    std::array<PlanInput, 2> mInputs;
    std::uint64_t mMaxEntries;
    unsigned mThreads;
    std::function<void(std::uint64_t)> mAdvance;
    std::vector<PlannedWindow> mWindows;
};

} // namespace

std::vector<PlannedWindow> planWindows(const std::array<PlanInput, 2>& inputs, std::uint64_t maxEntries,
                                       unsigned threads,
                                       const std::function<void(std::uint64_t points)>& advance) {
    return Planner(inputs, maxEntries, threads, advance).plan();
}

} // namespace Orvid::Compare::Engine
