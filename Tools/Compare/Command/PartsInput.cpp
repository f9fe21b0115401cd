#include "Command/PartsInput.h"

#include "Shard/PartitionSet.h"

#include <CompareEngine/SharePartition.h>
#include <Core/IOException.h>

#include <string>
#include <system_error>
#include <vector>

namespace Orvid::Compare {
namespace {

namespace fs = std::filesystem;
constexpr const char* ROLES[2] = {"reference", "test"};

/// Adds the runs of shard `shard` in one partition's run file `run` to `inputs`, as the partition's
/// `facts` list them (per input, per leg, from the file's start), and checks that the file holds them
/// exactly.
void addRuns(const fs::path& run, const PartitionFacts& facts, std::size_t shard,
             const std::array<InputLegs, 2>& legs, std::array<Engine::InputParts, 2>& inputs) {
    const std::array<std::vector<std::uint64_t>, 2>& records = facts.runRecords[shard];
    std::uint64_t offset = 0;
    for (std::size_t side = 0; side < 2; ++side) {
        const std::vector<std::vector<Engine::RunKeys>>& keys = facts.shares[side].runKeys;
        if (records[side].size() != legs[side].files.size() || shard >= keys.size() ||
            keys[shard].size() != legs[side].files.size()) {
            throw Core::IOException(run.string() + ": its partition lists " +
                                    std::to_string(records[side].size()) + " legs of the " + ROLES[side] +
                                    ", not " + std::to_string(legs[side].files.size()));
        }
        for (std::size_t leg = 0; leg < records[side].size(); ++leg) {
            inputs[side].runs[leg].push_back({run, offset, records[side][leg]});
            inputs[side].runKeys[leg].push_back(keys[shard][leg]);
            offset += records[side][leg] * legs[side].headers[leg].pointRecordLength;
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
