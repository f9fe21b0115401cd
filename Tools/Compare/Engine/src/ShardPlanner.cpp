#include <CompareEngine/ShardPlanner.h>

#include "KeyEncoding.h"

#include <FileIoInterface/Las/LasHeader.h>
#include <FileIoInterface/Las/PointRecords.h>

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

using FileIoInterface::Las::PointRecords;
using FileIoInterface::Las::PointRecordsOptions;

/// The primary words of the records of a stored file in `runs` evenly spaced runs of `RUN_LENGTH`
/// records at most, all of them when that many runs cover the file.
void sampleStoredRuns(const PointRecords& records, std::uint64_t runs,
                      std::vector<std::uint64_t>& primaries) {
    const std::uint64_t points = records.size();
    const std::uint64_t count = std::min(points, runs * RUN_LENGTH);
    runs = (count + RUN_LENGTH - 1) / RUN_LENGTH;
    PointRecords::Cursor cursor(records);
    for (std::uint64_t run = 0; run < runs; ++run) {
        const std::uint64_t start = run * points / runs;
        const std::uint64_t end = std::min(start + (count + runs - 1) / runs, (run + 1) * points / runs);
        for (std::uint64_t index = start; index < end; ++index) {
            primaries.push_back(primaryOf(records.gpsTimeAt(cursor.record(index))));
        }
    }
}

/// The primary words of the first `RUN_LENGTH` records of `runs` evenly chosen blocks (chunks of a
/// LAZ file), so that no more of them is decoded.
void sampleBlockHeads(const PointRecords& records, std::uint64_t runs,
                      std::vector<std::uint64_t>& primaries) {
    const std::uint64_t blocks = records.blockCount();
    runs = std::min(runs, blocks);
    std::vector<std::uint8_t> scratch;
    for (std::uint64_t run = 0; run < runs; ++run) {
        const auto block = static_cast<std::size_t>(run * blocks / runs);
        const std::uint64_t end = block + 1 < blocks ? records.blockStart(block + 1) : records.size();
        const std::uint64_t count = std::min(RUN_LENGTH, end - records.blockStart(block));
        const std::uint8_t* head = records.blockHead(block, count, scratch);
        for (std::uint64_t index = 0; index < count; ++index) {
            primaries.push_back(primaryOf(records.gpsTimeAt(head + index * records.recordLength())));
        }
    }
}

/// The primary words of an even sample of the records of one leg in `runs` runs at most, each record
/// standing for an equal share of the leg's records.
void sampleLeg(const std::filesystem::path& path, std::uint64_t runs, std::vector<std::uint64_t>& primaries,
               std::vector<double>& weights) {
    PointRecordsOptions options;
    options.lazAccess = FileIoInterface::Las::LazAccess::chunkByChunk;
    const PointRecords records(path, options);
    if (records.size() == 0) {
        return;
    }
    const std::size_t before = primaries.size();
    if (records.contiguousRecords() != nullptr) {
        sampleStoredRuns(records, runs, primaries);
    } else {
        sampleBlockHeads(records, runs, primaries);
    }
    const double weight =
        static_cast<double>(records.size()) / static_cast<double>(primaries.size() - before);
    weights.resize(primaries.size(), weight);
}

/// An even sample of the legs of one input: `RUNS` runs shared among the legs by their points, at least
/// one each.
void sample(const std::vector<std::filesystem::path>& legs, std::vector<std::uint64_t>& primaries,
            std::vector<double>& weights) {
    std::vector<std::uint64_t> points;
    std::uint64_t total = 0;
    for (const std::filesystem::path& leg : legs) {
        points.push_back(FileIoInterface::Las::readLasHeader(leg).pointCount);
        total += points.back();
    }
    for (std::size_t leg = 0; leg < legs.size(); ++leg) {
        if (points[leg] > 0) {
            const auto share = static_cast<std::uint64_t>(
                static_cast<double>(RUNS) * static_cast<double>(points[leg]) / static_cast<double>(total));
            sampleLeg(legs[leg], std::max<std::uint64_t>(share, 1), primaries, weights);
        }
    }
}

} // namespace

std::vector<PlannedShard> planShards(const std::vector<std::filesystem::path>& reference,
                                     const std::vector<std::filesystem::path>& test, std::size_t shards) {
    if (shards == 0) {
        throw std::invalid_argument("a comparison needs at least one shard");
    }
    std::vector<std::uint64_t> primaries;
    std::vector<double> weights;
    sample(reference, primaries, weights);
    sample(test, primaries, weights);
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
