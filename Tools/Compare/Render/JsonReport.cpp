#include "Render/JsonReport.h"

#include "Gather/ComparisonSettings.h"

#include <CompareEngine/ComparedAttribute.h>

#include <FileIoInterface/Version.h>

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <stdexcept>

namespace Orvid::Compare {
namespace {

// Keys keep the order they are written in, so that the report reads top-down.
using json = nlohmann::ordered_json;

json toJson(const SeriesStatistics& series) {
    return {{"mean", series.mean}, {"rms", series.rms}, {"maxAbs", series.maxAbs}};
}

json toJson(const ClassCounts& counts) {
    json object = json::object();
    for (const DifferenceClass kind : ALL_DIFFERENCE_CLASSES) {
        object[std::string(nameOf(kind))] = counts[kind];
    }
    return object;
}

json toJson(const InputDescription& input) {
    json files = json::array();
    for (const auto& file : input.files) {
        files.push_back(file.string());
    }
    return {{"path", input.path.string()},       {"files", files},
            {"formats", input.formats},          {"legs", input.scan.legs},
            {"points", input.scan.points},       {"announcedPoints", input.announcedPoints},
            {"scale", input.coarsestScale},      {"duplicateKeys", input.scan.duplicateKeys},
            {"nanTimes", input.scan.nanTimes},   {"inKeyOrder", input.scan.inKeyOrder},
            {"timeStandard", input.timeStandard}};
}

json flightLines(const ComparisonReport& report) {
    json lines = json::array();
    for (const FlightLineRow& row : flightLineRows(report)) {
        json line = toJson(row.counts);
        line["sourceId"] = row.sourceId;
        line["referencePoints"] = row.referencePoints;
        line["testPoints"] = row.testPoints;
        lines.push_back(line);
    }
    return lines;
}

json toJson(const Metadata::InputMetadata& input) {
    json systems = json::array();
    for (const Metadata::InputCoordinateSystem& system : input.coordinateSystems) {
        systems.push_back({{"name", system.name},
                           {"epsg", system.epsg ? json(*system.epsg) : json(nullptr)},
                           {"record", system.source},
                           {"files", system.files}});
    }
    json fields = json::object();
    for (const auto& [name, value] : input.fields) {
        fields[name] = value;
    }
    return {{"coordinateSystems", systems},
            {"filesWithoutCoordinateSystem", input.filesWithoutCoordinateSystem},
            {"header", fields}};
}

json toJson(const Metadata::MetadataReport& metadata) {
    json differences = json::array();
    for (const Metadata::MetadataDifference& difference : metadata.differences) {
        differences.push_back({{"field", difference.field},
                               {"kind", nameOf(difference.kind)},
                               {"reference", difference.reference},
                               {"test", difference.test}});
    }
    return {{"differences", differences},
            {"reference", toJson(metadata.inputs[0])},
            {"test", toJson(metadata.inputs[1])}};
}

json toJson(const RunParameters& parameters) {
    json tolerances = json::object();
    for (const auto& [name, value] : parameters.tolerances) {
        tolerances[name] = value;
    }
    return {{"epsilon", parameters.epsilon},
            {"epsilonSource",
             parameters.epsilonFromScale ? "scale" : (parameters.epsilonExact ? "exact" : "given")},
            {"epsilonXY", parameters.epsilonXY},
            {"epsilonZ", parameters.epsilonZ},
            {"tolerances", tolerances},
            {"ignored", parameters.ignored},
            {"timeOffset", parameters.timeOffset},
            {"rgbEpsilon", parameters.rgbEpsilon},
            {"pointAttributes", parameters.pointAttributes},
            {"extraAttributes", parameters.extraAttributes},
            // Points are no longer compared in blocks; the key stays, empty, for readers of this schema.
            {"capacity", nullptr},
            {"memory", parameters.memory},
            {"temporaryBytes", parameters.temporaryBytes},
            {"threads", parameters.threads},
            {"pairByChannel", parameters.pairByChannel},
            {"windows", parameters.windows},
            {"failOn", failOnNames(parameters.failOn, parameters.metadataFailOn)},
            {"ignoredMetadata", parameters.ignoredMetadata}};
}

json toJson(const ComparisonReport& report) {
    const RunParameters& parameters = report.parameters;
    json attributes = nullptr;
    if (report.summary.attributeDifferences) {
        attributes = json::object();
        for (std::size_t i = 0; i < Engine::COMPARED_ATTRIBUTE_COUNT; ++i) {
            attributes[Engine::COMPARED_ATTRIBUTES[i].name] = (*report.summary.attributeDifferences)[i];
        }
    }
    json extras = json::object();
    for (const auto& [name, count] : report.summary.extraDifferences) {
        extras[name] = count;
    }
    json transitions = json::array();
    for (const auto& [classes, count] : report.summary.classTransitions) {
        transitions.push_back({{"reference", classes.first}, {"test", classes.second}, {"count", count}});
    }
    json time = {{"notes", timeNotes(report)}, {"suggestedOffset", nullptr}};
    if (const auto& estimate = report.suggestedTimeOffset) {
        time["suggestedOffset"] = {{"seconds", estimate->offset},
                                   {"option", "--time-offset " + exactNumber(estimate->offset)},
                                   {"sampled", estimate->sampled},
                                   {"matched", estimate->matched},
                                   {"agreeing", estimate->agreeing}};
    }
    const DisplacementStatistics& displacement = report.summary.displacement;
    json object = {
        {"schema", "orvid-compare/1"},
        {"tool", {{"name", "orvid-compare"}, {"version", FILEIOINTERFACE_VERSION_STRING}}},
        {"time", time},
        {"inputs", {{"reference", toJson(report.reference)}, {"test", toJson(report.test)}}},
        {"parameters", toJson(parameters)},
        {"metadata", toJson(report.metadata)},
        {"counts", toJson(report.summary.counts)},
        {"attributeDifferences", attributes},
        {"extraAttributeDifferences", extras},
        {"classTransitions", transitions},
        {"displacement",
         {{"count", displacement.count},
          {"magnitude", toJson(displacement.magnitude)},
          {"dx", toJson(displacement.dx)},
          {"dy", toJson(displacement.dy)},
          {"dz", toJson(displacement.dz)}}},
        {"flightLines", flightLines(report)},
        {"warnings", report.warnings},
        {"pairing",
         {{"by", parameters.pairedByPosition ? "position" : "gpsTime"},
          {"reason",
           parameters.pairedByPosition ? json(parameters.pairedByPositionBecause) : json(nullptr)}}},
        {"result", {{"different", report.different}, {"exitStatus", report.exitStatus}}},
    };
    if (parameters.sharded) {
        object["parameters"]["plan"] = {{"id", parameters.sharded->planId},
                                        {"shards", parameters.sharded->shards}};
    }
    return object;
}

} // namespace

void writeJsonReport(const std::filesystem::path& path, const ComparisonReport& report,
                     const std::filesystem::path& shownAs) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << std::setw(2) << toJson(report) << '\n';
    file.close();
    if (!file) {
        throw std::runtime_error(shownAs.string() + ": cannot write the JSON report (" +
                                 std::strerror(errno) + ")");
    }
}

void writeJsonReport(std::ostream& out, const ComparisonReport& report) {
    out << std::setw(2) << toJson(report) << '\n';
    out.flush();
    if (!out) {
        throw std::runtime_error(std::string("cannot write the JSON report to standard output (") +
                                 std::strerror(errno) + ")");
    }
}

} // namespace Orvid::Compare
