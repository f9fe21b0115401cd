#include "Shard/PartitionFacts.h"

#include "Shard/JsonFields.h"

#include <Core/IOException.h>

#include <stdexcept>
#include <string>

namespace Orvid::Compare {
namespace {

namespace fs = std::filesystem;
using json = OrderedJson;

constexpr const char* SCHEMA = "orvid-compare-partition/2";
constexpr JsonFileKind FACTS_FILE{SCHEMA, "the partition's facts", "the facts of a partition",
                                  "corrupt partition facts"};
constexpr const char* ROLES[2] = {"reference", "test"};

/// A leg's segments: a number for records copied, [first, records] for records left in the leg.
json toJson(const std::vector<RunSegment>& segments) {
    json list = json::array();
    for (const RunSegment& segment : segments) {
        list.push_back(segment.firstInLeg ? json::array({*segment.firstInLeg, segment.records})
                                          : json(segment.records));
    }
    return list;
}

std::vector<RunSegment> segmentsOf(const json& list) {
    std::vector<RunSegment> segments;
    for (const json& segment : list) {
        if (segment.is_array()) {
            segments.push_back({segment.at(1).get<std::uint64_t>(), segment.at(0).get<std::uint64_t>()});
        } else {
            segments.push_back({segment.get<std::uint64_t>(), std::nullopt});
        }
    }
    return segments;
}

json toJson(const std::vector<std::vector<RunSegment>>& legs) {
    json list = json::array();
    for (const std::vector<RunSegment>& leg : legs) {
        list.push_back(toJson(leg));
    }
    return list;
}

json toJson(const Engine::RunKeys& run) {
    json nanTimes = json::array();
    for (const Engine::NanTimeCount& count : run.nanTimes) {
        nanTimes.push_back({count.secondary, count.records});
    }
    json keys = nullptr;
    if (run.hasKey) {
        keys = {run.firstPrimary,  run.firstSecondary, run.lastPrimary,
                run.lastSecondary, run.lowestPrimary,  run.highestPrimary};
    }
    return {{"records", run.records}, {"nanTimes", nanTimes}, {"inKeyOrder", run.inKeyOrder}, {"keys", keys}};
}

Engine::RunKeys runKeysOf(const json& object) {
    Engine::RunKeys run;
    run.records = object.at("records").get<std::uint64_t>();
    for (const json& count : object.at("nanTimes")) {
        run.nanTimes.push_back({count.at(0).get<std::uint64_t>(), count.at(1).get<std::uint64_t>()});
        if (run.nanTimes.back().secondary >= Engine::KEY_SECONDARY_WORDS) {
            throw std::out_of_range("a run's NaN times name the secondary word " +
                                    std::to_string(run.nanTimes.back().secondary) + ", beyond the last");
        }
    }
    run.inKeyOrder = object.at("inKeyOrder").get<bool>();
    const json& keys = object.at("keys");
    run.hasKey = !keys.is_null();
    if (run.hasKey) {
        const auto word = [&keys](std::size_t index) { return keys.at(index).get<std::uint64_t>(); };
        run.firstPrimary = word(0);
        run.firstSecondary = word(1);
        run.lastPrimary = word(2);
        run.lastSecondary = word(3);
        run.lowestPrimary = word(4);
        run.highestPrimary = word(5);
    }
    return run;
}

json toJson(const Engine::ShareFacts& share) {
    const Engine::PlanarExtent& extent = share.extent;
    json runKeys = json::array();
    for (const std::vector<Engine::RunKeys>& legs : share.runKeys) {
        json& shard = runKeys.emplace_back(json::array());
        for (const Engine::RunKeys& run : legs) {
            shard.push_back(toJson(run));
        }
    }
    return {{"points", share.points},
            {"nanTimes", share.nanTimes},
            {"inKeyOrder", share.inKeyOrder},
            {"firstKey", {share.firstPrimary, share.firstSecondary}},
            {"lastKey", {share.lastPrimary, share.lastSecondary}},
            {"extent", {extent.minX, extent.minY, extent.maxX, extent.maxY}},
            {"tally", tallyJson(share.tally)},
            {"runKeys", runKeys}};
}

Engine::ShareFacts shareOf(const json& object) {
    Engine::ShareFacts share;
    share.points = object.at("points").get<std::uint64_t>();
    share.nanTimes = object.at("nanTimes").get<std::uint64_t>();
    share.inKeyOrder = object.at("inKeyOrder").get<bool>();
    share.firstPrimary = object.at("firstKey").at(0).get<std::uint64_t>();
    share.firstSecondary = object.at("firstKey").at(1).get<std::uint64_t>();
    share.lastPrimary = object.at("lastKey").at(0).get<std::uint64_t>();
    share.lastSecondary = object.at("lastKey").at(1).get<std::uint64_t>();
    const json& extent = object.at("extent");
    share.extent = {extent.at(0).get<double>(), extent.at(1).get<double>(), extent.at(2).get<double>(),
                    extent.at(3).get<double>()};
    share.tally = tallyOf(object.at("tally"));
    for (const json& shard : object.at("runKeys")) {
        share.runKeys.emplace_back();
        for (const json& leg : shard) {
            share.runKeys.back().push_back(runKeysOf(leg));
        }
    }
    return share;
}

} // namespace

fs::path partitionFolder(const fs::path& parts, std::size_t partition) {
    return parts / ("partition-" + std::to_string(partition));
}

fs::path partialFolderOf(const fs::path& folder) {
    return folder.string() + ".partial";
}

fs::path replacedFolderOf(const fs::path& folder) {
    return folder.string() + ".replaced";
}

std::string runFileName(std::size_t shard) {
    return "shard-" + std::to_string(shard) + ".records";
}

void writePartitionFacts(const fs::path& path, const PartitionFacts& facts, const fs::path& shownAs) {
    json runs = json::array();
    for (const auto& run : facts.runSegments) {
        runs.push_back({{ROLES[0], toJson(run[0])}, {ROLES[1], toJson(run[1])}});
    }
    const json document = {
        {"schema", SCHEMA},
        {"plan", facts.plan},
        {"partition", facts.partition},
        {"partitions", facts.partitions},
        {"shares", {{ROLES[0], toJson(facts.shares[0])}, {ROLES[1], toJson(facts.shares[1])}}},
        {"runSegments", runs}};
    writeJsonFile(path, document, shownAs, "the partition's facts");
}

PartitionFacts readPartitionFacts(const fs::path& path) {
    return readJsonFile(path, FACTS_FILE, [](const json& document) {
        PartitionFacts facts;
        facts.plan = document.at("plan").get<std::string>();
        facts.partition = document.at("partition").get<std::size_t>();
        facts.partitions = document.at("partitions").get<std::size_t>();
        for (std::size_t side = 0; side < 2; ++side) {
            facts.shares[side] = shareOf(document.at("shares").at(ROLES[side]));
        }
        for (const json& run : document.at("runSegments")) {
            auto& shard = facts.runSegments.emplace_back();
            for (std::size_t side = 0; side < 2; ++side) {
                for (const json& leg : run.at(ROLES[side])) {
                    shard[side].push_back(segmentsOf(leg));
                }
            }
        }
        return facts;
    });
}

} // namespace Orvid::Compare
