#include "Shard/ShardReport.h"

#include "Shard/JsonFields.h"

#include <CompareEngine/ComparedAttribute.h>
#include <Core/IOException.h>

#include <charconv>
#include <stdexcept>

namespace Orvid::Compare {
namespace {

namespace fs = std::filesystem;
using json = OrderedJson;

constexpr const char* SCHEMA = "orvid-compare-shard/1";
constexpr JsonFileKind REPORT_FILE{SCHEMA, "the shard report", "a shard report of orvid-compare",
                                   "corrupt shard report"};
constexpr const char* ROLES[2] = {"reference", "test"};
constexpr const char* SERIES[4] = {"magnitude", "dx", "dy", "dz"};

json toJson(const ClassCounts& counts) {
    json object = json::object();
    for (const DifferenceClass kind : ALL_DIFFERENCE_CLASSES) {
        object[std::string(nameOf(kind))] = counts[kind];
    }
    return object;
}

ClassCounts countsOf(const json& object) {
    ClassCounts counts;
    for (const DifferenceClass kind : ALL_DIFFERENCE_CLASSES) {
        counts[kind] = object.at(std::string(nameOf(kind))).get<std::uint64_t>();
    }
    return counts;
}

/// A grid's counts as one string, row by row: a count, or "~n" for n empty cells, separated by
/// commas. A map's class grids are mostly empty, and a string parses much faster than an array of
/// tens of thousands of numbers.
std::string cellsOf(const std::vector<std::uint64_t>& counts) {
    std::string text;
    for (std::size_t cell = 0; cell < counts.size();) {
        if (!text.empty()) {
            text += ',';
        }
        std::size_t empty = 0;
        while (cell + empty < counts.size() && counts[cell + empty] == 0) {
            ++empty;
        }
        if (empty > 1) {
            text += '~' + std::to_string(empty);
            cell += empty;
        } else {
            text += std::to_string(counts[cell]);
            ++cell;
        }
    }
    return text;
}

/// The counts of `text`; throws std::invalid_argument unless it holds exactly `cells` counts.
std::vector<std::uint64_t> countsOfCells(const std::string& text, std::size_t cells) {
    std::vector<std::uint64_t> counts;
    const char* at = text.data();
    const char* const end = at + text.size();
    while (at < end) {
        const bool empty = *at == '~';
        std::uint64_t value = 0;
        const auto [next, error] = std::from_chars(at + (empty ? 1 : 0), end, value);
        if (error != std::errc() || (next != end && *next != ',') ||
            (empty ? value : 1) > cells - counts.size()) {
            throw std::invalid_argument("density grid cells: not a count, or one too many, at character " +
                                        std::to_string(at - text.data()));
        }
        counts.insert(counts.end(), empty ? static_cast<std::size_t>(value) : 1, empty ? 0 : value);
        at = next == end ? end : next + 1;
    }
    if (counts.size() != cells) {
        throw std::invalid_argument("density grid cells: " + std::to_string(counts.size()) + " counts, not " +
                                    std::to_string(cells));
    }
    return counts;
}

json toJson(const DensityGrid& grid) {
    return {{"cells", cellsOf(grid.counts())}, {"binned", grid.binned()}, {"outside", grid.outside()}};
}

void addGrid(const json& object, DensityGrid& grid) {
    grid.addCounts(countsOfCells(object.at("cells").get<std::string>(), grid.counts().size()),
                   object.at("binned").get<std::uint64_t>(), object.at("outside").get<std::uint64_t>());
}

json toJson(const DifferenceMap& map) {
    const Extent& extent = map.reference.extent();
    json object = {{"extent", {extent.minX, extent.minY, extent.maxX, extent.maxY}},
                   {"reference", toJson(map.reference)}};
    for (const DifferenceClass kind : ALL_DIFFERENCE_CLASSES) {
        object[std::string(nameOf(kind))] = toJson(map.of(kind));
    }
    return object;
}

DifferenceMap mapOf(const json& object) {
    const json& extent = object.at("extent");
    DifferenceMap map(Extent{extent.at(0).get<double>(), extent.at(1).get<double>(),
                             extent.at(2).get<double>(), extent.at(3).get<double>()});
    addGrid(object.at("reference"), map.reference);
    for (const DifferenceClass kind : ALL_DIFFERENCE_CLASSES) {
        addGrid(object.at(std::string(nameOf(kind))), map.of(kind));
    }
    return map;
}

json toJson(const ShardTotals& totals) {
    json displacement = json::object();
    for (std::size_t series = 0; series < 4; ++series) {
        const RunGatherer::Series& sums = totals.displacement[series];
        displacement[SERIES[series]] = {{"sum", jsonNumber(sums.sum)},
                                        {"sumOfSquares", jsonNumber(sums.sumOfSquares)},
                                        {"maxAbs", jsonNumber(sums.maxAbs)}};
    }
    displacement["histogram"] = {{"binWidth", totals.histogram.binWidth()},
                                 {"counts", totals.histogram.counts()},
                                 {"unbinned", totals.histogram.unbinned()}};
    json lines = json::array();
    for (const auto& [sourceId, counts] : totals.byFlightLine) {
        json line = toJson(counts);
        line["sourceId"] = sourceId;
        lines.push_back(line);
    }
    json inputs = json::object();
    for (std::size_t side = 0; side < 2; ++side) {
        const ShardInputTotals& input = totals.inputs[side];
        json bySourceId = json::array();
        for (const auto& [sourceId, points] : input.pointsBySourceId) {
            bySourceId.push_back({sourceId, points});
        }
        const WholeInput whole = input.whole.value_or(WholeInput{});
        inputs[ROLES[side]] = {{"points", whole.points},
                               {"nanTimes", whole.nanTimes},
                               {"inKeyOrder", whole.inKeyOrder},
                               {"tally", tallyJson(whole.tally)},
                               {"duplicateKeys", input.duplicateKeys},
                               {"duplicatesOnSameChannel", input.duplicatesOnSameChannel},
                               {"pointsBySourceId", bySourceId}};
    }
    json attributes = json::object();
    for (std::size_t index = 0; index < Engine::COMPARED_ATTRIBUTE_COUNT; ++index) {
        attributes[Engine::COMPARED_ATTRIBUTES[index].name] = totals.attributeDifferences.counts[index];
    }
    json extras = json::array();
    for (const auto& [name, differences] : totals.extraDifferences) {
        extras.push_back({{"name", name}, {"differences", differences}});
    }
    json transitions = json::array();
    for (const auto& [classes, pairs] : totals.classTransitions) {
        transitions.push_back({classes.first, classes.second, pairs});
    }
    return {{"counts", toJson(totals.counts)},
            {"attributeDifferences", attributes},
            {"extraAttributeDifferences", extras},
            {"classTransitions", transitions},
            {"displacement", displacement},
            {"flightLines", lines},
            {"inputs", inputs},
            {"map", totals.map ? toJson(*totals.map) : json(nullptr)},
            {"unwritten", totals.unwritten},
            {"windows", totals.windows}};
}

ShardTotals totalsOf(const json& object, bool withMap) {
    ShardTotals totals;
    totals.counts = countsOf(object.at("counts"));
    const json& attributes = object.at("attributeDifferences");
    for (std::size_t index = 0; index < Engine::COMPARED_ATTRIBUTE_COUNT; ++index) {
        totals.attributeDifferences.counts[index] =
            attributes.at(Engine::COMPARED_ATTRIBUTES[index].name).get<std::uint64_t>();
    }
    for (const json& extra : object.at("extraAttributeDifferences")) {
        totals.extraDifferences.emplace_back(extra.at("name").get<std::string>(),
                                             extra.at("differences").get<std::uint64_t>());
    }
    for (const json& transition : object.at("classTransitions")) {
        totals
            .classTransitions[{transition.at(0).get<std::uint8_t>(), transition.at(1).get<std::uint8_t>()}] =
            transition.at(2).get<std::uint64_t>();
    }
    const json& displacement = object.at("displacement");
    for (std::size_t series = 0; series < 4; ++series) {
        const json& sums = displacement.at(SERIES[series]);
        totals.displacement[series].sum = jsonNumberOf(sums.at("sum"));
        totals.displacement[series].sumOfSquares = jsonNumberOf(sums.at("sumOfSquares"));
        totals.displacement[series].maxAbs = jsonNumberOf(sums.at("maxAbs"));
    }
    const json& histogram = displacement.at("histogram");
    totals.histogram = DisplacementHistogram::restored(
        histogram.at("binWidth").get<double>(),
        histogram.at("counts").get<std::array<std::uint64_t, DisplacementHistogram::BINS>>(),
        histogram.at("unbinned").get<std::uint64_t>());
    for (const json& line : object.at("flightLines")) {
        totals.byFlightLine[line.at("sourceId").get<std::uint16_t>()] = countsOf(line);
    }
    for (std::size_t side = 0; side < 2; ++side) {
        const json& input = object.at("inputs").at(ROLES[side]);
        totals.inputs[side].whole =
            WholeInput{input.at("points").get<std::uint64_t>(), input.at("nanTimes").get<std::uint64_t>(),
                       input.at("inKeyOrder").get<bool>(), tallyOf(input.at("tally"))};
        totals.inputs[side].duplicateKeys = input.at("duplicateKeys").get<std::uint64_t>();
        totals.inputs[side].duplicatesOnSameChannel =
            input.at("duplicatesOnSameChannel").get<std::uint64_t>();
        for (const json& entry : input.at("pointsBySourceId")) {
            totals.inputs[side].pointsBySourceId[entry.at(0).get<std::uint16_t>()] =
                entry.at(1).get<std::uint64_t>();
        }
    }
    if (withMap && !object.at("map").is_null()) {
        totals.map = mapOf(object.at("map"));
    }
    totals.unwritten = object.at("unwritten").get<std::uint64_t>();
    totals.windows = object.at("windows").get<std::size_t>();
    return totals;
}

} // namespace

void writeShardReport(const fs::path& path, const ShardReport& report, const fs::path& shownAs) {
    json document = {
        {"schema", SCHEMA}, {"plan", report.plan}, {"shard", report.shard}, {"shards", report.shards}};
    document.update(toJson(report.totals));
    document["warnings"] = report.warnings;
    // Compact: the map's grids hold tens of thousands of counts.
    writeJsonFile(path, document, shownAs, "the shard report");
}

ShardReport readShardReport(const fs::path& path, bool withMap) {
    return readJsonFile(path, REPORT_FILE, [withMap](const json& document) {
        ShardReport report;
        report.plan = document.at("plan").get<std::string>();
        report.shard = document.at("shard").get<std::size_t>();
        report.shards = document.at("shards").get<std::size_t>();
        report.totals = totalsOf(document, withMap);
        report.warnings = document.at("warnings").get<std::vector<std::string>>();
        return report;
    });
}

} // namespace Orvid::Compare
