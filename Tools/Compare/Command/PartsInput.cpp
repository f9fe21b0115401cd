#include "Command/PartsInput.h"

#include "Shard/PartitionSet.h"

#include <CompareEngine/SharePartition.h>
#include <Core/IOException.h>

#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace Orvid::Compare {
namespace {

namespace fs = std::filesystem;
constexpr const char* ROLES[2] = {"reference", "test"};

/// Throws Core::IOException naming the run file `run` when a partition's facts list `what` for `listed`
/// legs of input `side`, not for its `legs`.
void requireLegs(const fs::path& run, std::size_t side, const std::string& what, std::size_t listed,
                 std::size_t legs) {
    if (listed != legs) {
        throw Core::IOException(run.string() + ": its partition lists " + what + " of " +
                                std::to_string(listed) + " legs of the " + ROLES[side] + ", not " +
                                std::to_string(legs));
    }
}

/// Adds the runs of one leg, `segments`, to `runs`: copies in the run file `run` from byte `offset`
/// on, which advances past them, or records left in the leg `file` under `header`. Returns their records.
std::uint64_t addLegRuns(const fs::path& run, const std::vector<RunSegment>& segments, const fs::path& file,
                         const FileIoInterface::Las::LasHeader& header, std::uint64_t& offset,
                         std::vector<FileIoInterface::Las::RawRecordRun>& runs) {
    std::uint64_t records = 0;
    for (const RunSegment& segment : segments) {
        records += segment.records;
        if (segment.firstInLeg) {
            runs.push_back({file, header.offsetToPointData + *segment.firstInLeg * header.pointRecordLength,
                            segment.records});
            continue;
        }
        runs.push_back({run, offset, segment.records});
        offset += segment.records * header.pointRecordLength;
    }
    if (segments.empty()) {
        runs.push_back({run, offset, 0});
    }
    return records;
}

/// Adds the runs of shard `shard` of one partition to `inputs`, as the partition's `facts` list them:
/// per input, per leg, segments copied into its run file `run` one after the other from the file's
/// start, or left in the leg, and what their keys tell. Checks that the facts agree with themselves
/// and that the run file holds the copies exactly.
void addRuns(const fs::path& run, const PartitionFacts& facts, std::size_t shard,
             const std::array<InputLegs, 2>& legs, std::array<Engine::InputParts, 2>& inputs) {
    const auto& segments = facts.runSegments[shard];
    std::uint64_t offset = 0;
    for (std::size_t side = 0; side < 2; ++side) {
        const std::size_t legCount = legs[side].files.size();
        const std::vector<std::vector<Engine::RunKeys>>& keys = facts.shares[side].runKeys;
        requireLegs(run, side, "the records", segments[side].size(), legCount);
        requireLegs(run, side, "the keys", shard < keys.size() ? keys[shard].size() : 0, legCount);
        for (std::size_t leg = 0; leg < legCount; ++leg) {
            const std::uint64_t records = addLegRuns(run, segments[side][leg], legs[side].files[leg],
                                                     legs[side].headers[leg], offset, inputs[side].runs[leg]);
            const Engine::RunKeys& legKeys = keys[shard][leg];
            if (legKeys.records != records) {
                throw Core::IOException(run.string() + ": its partition lists " + std::to_string(records) +
                                        " records of leg " + std::to_string(leg + 1) + " of the " +
                                        ROLES[side] + " but the keys of " + std::to_string(legKeys.records));
            }
            // What the keys tell is for all of the partition's records of the leg.
            inputs[side].runKeys[leg].push_back(legKeys);
        }
    }
    std::error_code error;
    const std::uintmax_t bytes = fs::file_size(run, error);
    if (error) {
        throw Core::IOException(run.string() + ": cannot read the partition's run (" + error.message() + ")");
    }
    if (bytes != offset) {
        throw Core::IOException(run.string() + ": holds " + std::to_string(bytes) + " bytes, not the " +
                                std::to_string(offset) + " that its partition's facts list");
    }
}

} // namespace

std::array<Engine::InputParts, 2> partsOfShard(const ShardPlan& plan, const fs::path& planFile,
                                               const fs::path& parts, std::size_t shard,
                                               const std::array<InputLegs, 2>& legs) {
    std::vector<FoundPartition> partitions = findPartitions(parts, plan.id, plan.shards.size(), planFile);
    std::array<Engine::InputParts, 2> inputs;
    std::array<std::vector<Engine::ShareFacts>, 2> shares;
    for (std::size_t side = 0; side < 2; ++side) {
        inputs[side].legs = legs[side].files;
        inputs[side].runs.resize(legs[side].files.size());
        inputs[side].runKeys.resize(legs[side].files.size());
    }
    // Partitions in order keep each leg's records in reading order, which ranks the points of a key.
    for (FoundPartition& partition : partitions) {
        addRuns(partition.folder / runFileName(shard), partition.facts, shard, legs, inputs);
        for (std::size_t side = 0; side < 2; ++side) {
            shares[side].push_back(std::move(partition.facts.shares[side]));
            // Every shard's keys are in every partition's facts; this shard took its own.
            shares[side].back().runKeys.clear();
        }
    }
    for (std::size_t side = 0; side < 2; ++side) {
        inputs[side].whole = Engine::wholeInputFacts(shares[side]);
    }
    return inputs;
}

} // namespace Orvid::Compare
