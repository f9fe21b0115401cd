#include "Command/PartsInput.h"

#include "Shard/PartitionSet.h"

#include <CompareEngine/SharePartition.h>
#include <Core/IOException.h>

#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace Orvid::Compare {
namespace {

namespace fs = std::filesystem;
constexpr const char* ROLES[2] = {"reference", "test"};

/// Adds the runs of shard `shard` of one partition to `inputs`, as the partition's `facts` list them:
/// per input, per leg, segments copied into its run file `run` one after the other from the file's
/// start, or left in the leg. Checks that the run file holds the copies exactly.
void addRuns(const fs::path& run, const PartitionFacts& facts, std::size_t shard,
             const std::array<InputLegs, 2>& legs, std::array<Engine::InputParts, 2>& inputs) {
    const auto& segments = facts.runSegments[shard];
    std::uint64_t offset = 0;
    for (std::size_t side = 0; side < 2; ++side) {
        const std::size_t legCount = legs[side].files.size();
        const std::vector<std::vector<Engine::RunKeys>>& keys = facts.shares[side].runKeys;
        if (segments[side].size() != legCount || shard >= keys.size() || keys[shard].size() != legCount) {
            throw Core::IOException(run.string() + ": its partition lists " +
                                    std::to_string(segments[side].size()) + " legs of the " + ROLES[side] +
                                    ", not " + std::to_string(legCount));
        }
        for (std::size_t leg = 0; leg < legCount; ++leg) {
            const FileIoInterface::Las::LasHeader& header = legs[side].headers[leg];
            std::vector<FileIoInterface::Las::RawRecordRun>& runs = inputs[side].runs[leg];
            const std::size_t runsBefore = runs.size();
            for (const RunSegment& segment : segments[side][leg]) {
                if (segment.firstInLeg) {
                    runs.push_back({legs[side].files[leg],
                                    header.offsetToPointData + *segment.firstInLeg * header.pointRecordLength,
                                    segment.records});
                    continue;
                }
                runs.push_back({run, offset, segment.records});
                offset += segment.records * header.pointRecordLength;
            }
            if (runs.size() == runsBefore) {
                runs.push_back({run, offset, 0});
            }
            // What the keys tell is for all of the partition's records of the leg, in one piece.
            inputs[side].runKeys[leg].push_back(keys[shard][leg]);
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
    const std::vector<FoundPartition> partitions =
        findPartitions(parts, plan.id, plan.shards.size(), planFile);
    std::array<Engine::InputParts, 2> inputs;
    std::array<std::vector<Engine::ShareFacts>, 2> shares;
    for (std::size_t side = 0; side < 2; ++side) {
        inputs[side].legs = legs[side].files;
        inputs[side].runs.resize(legs[side].files.size());
        inputs[side].runKeys.resize(legs[side].files.size());
    }
    // Partitions in order keep each leg's records in reading order, which ranks the points of a key.
    for (const FoundPartition& partition : partitions) {
        addRuns(partition.folder / runFileName(shard), partition.facts, shard, legs, inputs);
        for (std::size_t side = 0; side < 2; ++side) {
            shares[side].push_back(partition.facts.shares[side]);
        }
    }
    for (std::size_t side = 0; side < 2; ++side) {
        inputs[side].whole = Engine::wholeInputFacts(shares[side]);
    }
    return inputs;
}

} // namespace Orvid::Compare
