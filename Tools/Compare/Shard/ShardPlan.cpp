#include "Shard/ShardPlan.h"

#include "Shard/JsonFields.h"

#include "Metadata/Fnv1aHash.h"

#include <Core/IOException.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace Orvid::Compare {
namespace {

namespace fs = std::filesystem;
using json = OrderedJson;

constexpr const char* SCHEMA = "orvid-compare-plan/1";
constexpr JsonFileKind PLAN_FILE{SCHEMA, "the plan", "a plan of orvid-compare", "not a valid plan"};
constexpr const char* ROLES[2] = {"reference", "test"};

json toJson(const PlannedInput& input) {
    json files = json::array();
    for (std::size_t leg = 0; leg < input.files.size(); ++leg) {
        const FileIdentity& identity = input.identities[leg];
        files.push_back({{"path", input.files[leg].string()},
                         {"bytes", identity.bytes},
                         {"modified", identity.modified},
                         {"sampleHash", identity.sampleHash}});
    }
    json shares = json::array();
    for (const Engine::InputShare& share : input.shares) {
        json pieces = json::array();
        for (const Engine::SharePiece& piece : share) {
            pieces.push_back({piece.leg, piece.first, piece.count});
        }
        shares.push_back(pieces);
    }
    return {{"path", input.path.string()}, {"files", files}, {"shares", shares}};
}

PlannedInput inputOf(const json& object) {
    PlannedInput input;
    input.path = object.at("path").get<std::string>();
    for (const json& file : object.at("files")) {
        input.files.emplace_back(file.at("path").get<std::string>());
        FileIdentity identity;
        identity.bytes = file.at("bytes").get<std::uint64_t>();
        // Plans written before identities were kept have the size alone.
        if (file.contains("sampleHash")) {
            identity.modified = file.at("modified").get<std::int64_t>();
            identity.sampleHash = file.at("sampleHash").get<std::string>();
        }
        input.identities.push_back(identity);
    }
    // Plans written before partitions were planned have no shares.
    if (object.contains("shares")) {
        for (const json& share : object.at("shares")) {
            Engine::InputShare& pieces = input.shares.emplace_back();
            for (const json& piece : share) {
                pieces.push_back({piece.at(0).get<std::size_t>(), piece.at(1).get<std::uint64_t>(),
                                  piece.at(2).get<std::uint64_t>()});
            }
        }
    }
    return input;
}

json toJson(const ComparisonSettings& settings) {
    const auto optional = [](const auto& value) { return value ? json(*value) : json(nullptr); };
    json tolerances = json::array();
    for (const auto& [name, value] : settings.tolerances) {
        tolerances.push_back({{"name", name}, {"value", value}});
    }
    return {{"epsilon", optional(settings.epsilon)},
            {"epsilonXY", optional(settings.epsilonXY)},
            {"epsilonZ", optional(settings.epsilonZ)},
            {"tolerances", tolerances},
            {"ignored", settings.ignored},
            {"timeOffset", settings.timeOffset},
            {"rgbEpsilon", settings.rgbEpsilon},
            {"pointAttributes", settings.pointAttributes},
            {"extraAttributes", settings.extraAttributes},
            {"memory", optional(settings.memory)},
            {"threads", optional(settings.threads)},
            {"pairByChannel", settings.pairByChannel},
            {"strict", settings.strict},
            {"failOn", failOnNames(settings.failOn, settings.metadataFailOn)},
            {"ignoredMetadata", settings.ignoredMetadata},
            {"outFormat", settings.outFormat ? json(nameOf(*settings.outFormat)) : json(nullptr)}};
}

ComparisonSettings settingsOf(const json& object) {
    ComparisonSettings settings;
    for (const auto& [key, field] :
         {std::pair{"epsilon", &settings.epsilon}, std::pair{"epsilonXY", &settings.epsilonXY},
          std::pair{"epsilonZ", &settings.epsilonZ}}) {
        if (!object.at(key).is_null()) {
            *field = object.at(key).get<double>();
        }
    }
    for (const json& tolerance : object.at("tolerances")) {
        settings.tolerances.emplace_back(tolerance.at("name").get<std::string>(),
                                         tolerance.at("value").get<double>());
    }
    settings.ignored = object.at("ignored").get<std::vector<std::string>>();
    settings.timeOffset = object.at("timeOffset").get<double>();
    settings.rgbEpsilon = object.at("rgbEpsilon").get<std::uint16_t>();
    settings.pointAttributes = object.at("pointAttributes").get<bool>();
    settings.extraAttributes = object.at("extraAttributes").get<bool>();
    if (!object.at("memory").is_null()) {
        settings.memory = object.at("memory").get<std::uint64_t>();
    }
    if (!object.at("threads").is_null()) {
        settings.threads = object.at("threads").get<unsigned>();
    }
    settings.pairByChannel = object.at("pairByChannel").get<bool>();
    settings.strict = object.at("strict").get<bool>();
    // Plans written before the class files' format was a setting have none.
    if (object.contains("outFormat") && !object.at("outFormat").is_null()) {
        const std::string name = object.at("outFormat").get<std::string>();
        settings.outFormat = classFileFormatNamed(name);
        if (!settings.outFormat) {
            throw std::invalid_argument("outFormat: '" + name + "' is not las or laz");
        }
    }
    readFailOnNames(object.at("failOn").get<std::vector<std::string>>(), settings.failOn,
                    settings.metadataFailOn);
    // Plans written before metadata was compared have no such key: nothing was ignored.
    if (object.contains("ignoredMetadata")) {
        settings.ignoredMetadata = object.at("ignoredMetadata").get<std::vector<std::string>>();
    }
    return settings;
}

json toJson(const Engine::PlannedShard& shard) {
    json windows = json::array();
    for (const Engine::Window& window : shard.windows) {
        windows.push_back({{"nanTimes", window.nanTimes}, {"lowest", window.lowest}, {"end", window.end}});
    }
    return {{"points", shard.points}, {"windows", windows}};
}

Engine::PlannedShard shardOf(const json& object) {
    Engine::PlannedShard shard;
    shard.points = object.at("points").get<std::uint64_t>();
    for (const json& window : object.at("windows")) {
        shard.windows.push_back({window.at("nanTimes").get<bool>(), window.at("lowest").get<std::uint64_t>(),
                                 window.at("end").get<std::uint64_t>()});
    }
    return shard;
}

/// Everything but the id, in the order written.
json contentsOf(const ShardPlan& plan) {
    json shards = json::array();
    for (const Engine::PlannedShard& shard : plan.shards) {
        shards.push_back(toJson(shard));
    }
    return {{"workingDirectory", plan.workingDirectory.string()},
            {"inputs", {{ROLES[0], toJson(plan.inputs[0])}, {ROLES[1], toJson(plan.inputs[1])}}},
            {"parameters", toJson(plan.settings)},
            {"shards", shards}};
}

} // namespace

std::vector<fs::path> ShardPlan::openable(std::size_t side) const {
    std::vector<fs::path> files;
    for (const fs::path& file : inputs[side].files) {
        files.push_back(openable(file));
    }
    return files;
}

fs::path ShardPlan::openable(const fs::path& path) const {
    // From the plan's own folder, paths stay as given, so that messages name files as a single run does.
    std::error_code error;
    const bool here = fs::current_path(error) == workingDirectory && !error;
    return path.is_absolute() || here ? path : workingDirectory / path;
}

std::string planIdOf(const ShardPlan& plan) {
    // Of the compact JSON of the contents.
    const std::string contents = contentsOf(plan).dump();
    Fnv1aHash hash;
    hash.add(contents.data(), contents.size());
    return hash.hex();
}

void writeShardPlan(const fs::path& path, const ShardPlan& plan, const fs::path& shownAs) {
    json document = {{"schema", SCHEMA}, {"id", planIdOf(plan)}};
    document.update(contentsOf(plan));
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << std::setw(2) << document << '\n';
    file.close();
    if (!file) {
        throw std::runtime_error(shownAs.string() + ": cannot write the plan (" + std::strerror(errno) + ")");
    }
}

ShardPlan readShardPlan(const fs::path& path) {
    ShardPlan plan = readJsonFile(path, PLAN_FILE, [](const json& document) {
        ShardPlan read;
        read.id = document.at("id").get<std::string>();
        read.workingDirectory = document.at("workingDirectory").get<std::string>();
        const json& inputs = document.at("inputs");
        for (std::size_t side = 0; side < 2; ++side) {
            read.inputs[side] = inputOf(inputs.at(ROLES[side]));
        }
        read.settings = settingsOf(document.at("parameters"));
        for (const json& shard : document.at("shards")) {
            read.shards.push_back(shardOf(shard));
        }
        return read;
    });
    if (plan.shards.empty()) {
        throw Core::IOException(path.string() + ": not a valid plan: it has no shard");
    }
    if (planIdOf(plan) != plan.id) {
        throw Core::IOException(path.string() +
                                ": the plan was changed after it was made (its contents do "
                                "not match its id " +
                                plan.id + ")");
    }
    return plan;
}

void checkInputsUnchanged(const ShardPlan& plan) {
    for (std::size_t side = 0; side < 2; ++side) {
        const std::vector<fs::path> files = plan.openable(side);
        for (std::size_t leg = 0; leg < files.size(); ++leg) {
            const FileIdentity& then = plan.inputs[side].identities[leg];
            FileIdentity now = identityOf(files[leg]);
            if (then.sampleHash.empty()) {
                now.sampleHash.clear();
                now.modified = then.modified;
            }
            if (const std::optional<std::string> change = changeOf(then, now)) {
                throw Core::IOException(files[leg].string() + ": changed since the plan was made (" +
                                        *change + ")");
            }
        }
    }
}

} // namespace Orvid::Compare
