#include <CompareEngine/ShardPlanner.h>

#include "Input.h"
#include "KeyEncoding.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace Orvid::Compare::Engine {

namespace {

/// Records sampled per input at most, in runs of consecutive records: cuts then fall within about
/// a percent of their target (within a run's share for an input in time order, whose neighbours share
/// their times), and the runs touch only some hundreds of pages of a large file.
constexpr std::uint64_t RUNS = 512;
constexpr std::uint64_t RUN_LENGTH = 32;

/// The primary words of an even sample of `input`'s records, each standing for `weight` records.
void sample(const Input& input, std::vector<std::uint64_t>& primaries, std::vector<double>& weights) {
    const std::uint64_t points = input.size();
    const std::uint64_t count = std::min(points, RUNS * RUN_LENGTH);
    if (count == 0) {
        return;
    }
    const double weight = static_cast<double>(points) / static_cast<double>(count);
    const std::uint64_t runs = (count + RUN_LENGTH - 1) / RUN_LENGTH;
    for (std::uint64_t run = 0; run < runs; ++run) {
        const std::uint64_t begin = run * points / runs;
        const std::uint64_t end = std::min(begin + count / runs + (run < count % runs ? 1 : 0), points);
        input.forEachRecord(begin, end,
                            [&](std::uint64_t, const std::uint8_t* record,
                                const FileIoInterface::Las::PointRecords& records) {
                                primaries.push_back(primaryOf(records.gpsTimeAt(record)));
                                weights.push_back(weight);
                            });
    }
}

} // namespace

std::vector<PlannedShard> planShards(const std::vector<std::filesystem::path>& reference,
                                     const std::vector<std::filesystem::path>& test, std::size_t shards) {
    if (shards == 0) {
        throw std::invalid_argument("a comparison needs at least one shard");
    }
    const Input inputs[2] = {Input(reference), Input(test)};
    std::vector<std::uint64_t> primaries;
    std::vector<double> weights;
    for (const Input& input : inputs) {
        sample(input, primaries, weights);
    }
    // Sampled keys in order, with the points each stands for.
    std::vector<std::size_t> order(primaries.size());
    for (std::size_t index = 0; index < order.size(); ++index) {
        order[index] = index;
    }
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return primaries[a] < primaries[b]; });
    double timed = 0.0;
    double nanTimes = 0.0;
    for (std::size_t index = 0; index < primaries.size(); ++index) {
        (primaries[index] == NAN_PRIMARY ? nanTimes : timed) += weights[index];
    }
    const double all = timed + nanTimes;
    const bool nanShard = shards > 1 && nanTimes >= all / static_cast<double>(shards) / 2.0;
    const std::size_t timeShards = nanShard ? shards - 1 : shards;

    std::vector<PlannedShard> planned;
    std::uint64_t lowest = 0;
    double before = 0.0;
    std::size_t next = 0;
    for (std::size_t shard = 0; shard < timeShards; ++shard) {
        std::uint64_t end = NAN_PRIMARY;
        double through = timed;
        if (shard + 1 < timeShards) {
            // The cut lies at the first sampled time that would take the shard past its share; the
            // points of that time go to the next shard, so that no time is split.
            const double target = timed * static_cast<double>(shard + 1) / static_cast<double>(timeShards);
            through = before;
            while (next < order.size() && primaries[order[next]] != NAN_PRIMARY &&
                   through + weights[order[next]] / 2.0 < target) {
                through += weights[order[next]];
                ++next;
            }
            end = next < order.size() ? primaries[order[next]] : NAN_PRIMARY;
            // Samples of the cut's time taken already go back to the next shard, with their time.
            while (next > 0 && primaries[order[next - 1]] == end) {
                --next;
                through -= weights[order[next]];
            }
        }
        planned.push_back(
            {{Window{false, lowest, end}}, static_cast<std::uint64_t>(std::llround(through - before))});
        lowest = end;
        before = through;
    }
    const Window allNanTimes{true, 0, SECONDARY_COUNT};
    if (nanShard) {
        planned.push_back({{allNanTimes}, static_cast<std::uint64_t>(std::llround(nanTimes))});
    } else {
        planned.back().windows.push_back(allNanTimes);
        planned.back().points += static_cast<std::uint64_t>(std::llround(nanTimes));
    }
    return planned;
}

} // namespace Orvid::Compare::Engine
