#include "Shard/ShardPlan.h"

#include "Shard/JsonFields.h"

#include "Metadata/Fnv1aHash.h"

#include <Core/IOException.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <iterator>
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

/// A piece of a share as `toJson` wrote it: [leg, first record, record count].
Engine::SharePiece pieceOf(const json& piece) {
    if (!piece.is_array() || piece.size() != 3 ||
        !std::all_of(piece.begin(), piece.end(),
                     [](const json& number) { return number.is_number_unsigned(); })) {
        throw std::invalid_argument(
            "shares: a piece must be [leg, first record, record count] in whole numbers, not " +
            piece.dump());
    }
    return {piece[0].get<std::size_t>(), piece[1].get<std::uint64_t>(), piece[2].get<std::uint64_t>()};
}

PlannedInput inputOf(const json& object) {
    PlannedInput input;
    input.path = fieldOf<std::string>(object, "path");
    for (const json& file : listField(object, "files")) {
        input.files.emplace_back(fieldOf<std::string>(file, "path"));
        FileIdentity identity;
        identity.bytes = fieldOf<std::uint64_t>(file, "bytes");
        // Plans written before identities were kept have the size alone.
        if (file.contains("sampleHash")) {
            identity.modified = fieldOf<std::int64_t>(file, "modified");
            identity.sampleHash = fieldOf<std::string>(file, "sampleHash");
        }
        input.identities.push_back(identity);
    }
    // Plans written before partitions were planned have no shares.
    if (object.contains("shares")) {
        for (const json& share : listField(object, "shares")) {
            if (!share.is_array()) {
                throw std::invalid_argument("shares: a share must be a list of pieces, not " +
                                            shownJson(share));
            }
            Engine::InputShare& pieces = input.shares.emplace_back();
            std::transform(share.begin(), share.end(), std::back_inserter(pieces), pieceOf);
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
        *field = optionalFieldOf<double>(object, key);
    }
    for (const json& tolerance : listField(object, "tolerances")) {
        settings.tolerances.emplace_back(fieldOf<std::string>(tolerance, "name"),
                                         fieldOf<double>(tolerance, "value"));
    }
    settings.ignored = fieldOf<std::vector<std::string>>(object, "ignored");
    settings.timeOffset = fieldOf<double>(object, "timeOffset");
    settings.rgbEpsilon = fieldOf<std::uint16_t>(object, "rgbEpsilon");
    settings.pointAttributes = fieldOf<bool>(object, "pointAttributes");
    settings.extraAttributes = fieldOf<bool>(object, "extraAttributes");
    settings.memory = optionalFieldOf<std::uint64_t>(object, "memory");
    settings.threads = optionalFieldOf<unsigned>(object, "threads");
    settings.pairByChannel = fieldOf<bool>(object, "pairByChannel");
    settings.strict = fieldOf<bool>(object, "strict");
    // Plans written before the class files' format was a setting have none.
    if (object.contains("outFormat") && !object.at("outFormat").is_null()) {
        const std::string name = fieldOf<std::string>(object, "outFormat");
        settings.outFormat = classFileFormatNamed(name);
        if (!settings.outFormat) {
            throw std::invalid_argument("outFormat: '" + name + "' is not las or laz");
        }
    }
    readFailOnNames(fieldOf<std::vector<std::string>>(object, "failOn"), settings.failOn,
                    settings.metadataFailOn);
    // Plans written before metadata was compared have no such key: nothing was ignored.
    if (object.contains("ignoredMetadata")) {
        settings.ignoredMetadata = fieldOf<std::vector<std::string>>(object, "ignoredMetadata");
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
    shard.points = fieldOf<std::uint64_t>(object, "points");
    for (const json& window : listField(object, "windows")) {
        shard.windows.push_back({fieldOf<bool>(window, "nanTimes"), fieldOf<std::uint64_t>(window, "lowest"),
                                 fieldOf<std::uint64_t>(window, "end")});
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
        read.id = fieldOf<std::string>(document, "id");
        read.workingDirectory = fieldOf<std::string>(document, "workingDirectory");
        const json& inputs = objectField(document, "inputs");
        for (std::size_t side = 0; side < 2; ++side) {
            read.inputs[side] = inputOf(objectField(inputs, ROLES[side]));
        }
        read.settings = settingsOf(objectField(document, "parameters"));
        for (const json& shard : listField(document, "shards")) {
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
