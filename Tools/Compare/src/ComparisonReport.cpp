#include "ComparisonReport.h"

#include "ReportLogger.h"

#include <FileIoInterface/Version.h>

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <map>
#include <ostream>
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
    return {{"path", input.path.string()},    {"files", files},
            {"formats", input.formats},       {"legs", input.scan.legs},
            {"points", input.scan.points},    {"announcedPoints", input.announcedPoints},
            {"scale", input.coarsestScale},   {"duplicateKeys", input.scan.duplicateKeys},
            {"nanTimes", input.scan.nanTimes}};
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

json toJson(const ComparisonReport& report) {
    const RunParameters& parameters = report.parameters;
    json failOn = json::array();
    for (const DifferenceClass kind : ALL_DIFFERENCE_CLASSES) {
        if (parameters.failOn.has(kind)) {
            failOn.push_back(nameOf(kind));
        }
    }
    json attributes = nullptr;
    if (report.summary.attributeDifferences) {
        attributes = json::object();
        for (std::size_t i = 0; i < COMPARED_ATTRIBUTES.size(); ++i) {
            attributes[COMPARED_ATTRIBUTES[i]] = (*report.summary.attributeDifferences)[i];
        }
    }
    const DisplacementStatistics& displacement = report.summary.displacement;
    return {
        {"schema", "orvid-compare/1"},
        {"tool", {{"name", "orvid-compare"}, {"version", FILEIOINTERFACE_VERSION_STRING}}},
        {"inputs", {{"reference", toJson(report.reference)}, {"test", toJson(report.test)}}},
        {"parameters",
         {{"epsilon", parameters.epsilon},
          {"epsilonSource", parameters.epsilonFromScale ? "scale" : "given"},
          {"rgbEpsilon", parameters.rgbEpsilon},
          {"pointAttributes", parameters.pointAttributes},
          {"extraAttributes", parameters.extraAttributes},
          {"capacity", parameters.capacity},
          {"failOn", failOn}}},
        {"counts", toJson(report.summary.counts)},
        {"attributeDifferences", attributes},
        {"displacement",
         {{"count", displacement.count},
          {"magnitude", toJson(displacement.magnitude)},
          {"dx", toJson(displacement.dx)},
          {"dy", toJson(displacement.dy)},
          {"dz", toJson(displacement.dz)}}},
        {"flightLines", flightLines(report)},
        {"warnings", report.warnings},
        {"result", {{"different", report.exitStatus != 0}, {"exitStatus", report.exitStatus}}},
    };
}

} // namespace

std::string share(std::uint64_t count, std::uint64_t of) {
    if (of == 0) {
        return "-";
    }
    std::ostringstream text;
    text << std::fixed << std::setprecision(2) << 100.0 * static_cast<double>(count) / static_cast<double>(of)
         << " %";
    return text.str();
}

std::vector<FlightLineRow> flightLineRows(const ComparisonReport& report) {
    std::map<std::uint16_t, FlightLineRow> rows;
    for (const auto& [id, count] : report.reference.scan.pointsBySourceId) {
        rows[id].referencePoints = count;
    }
    for (const auto& [id, count] : report.test.scan.pointsBySourceId) {
        rows[id].testPoints = count;
    }
    for (const auto& [id, counts] : report.summary.byFlightLine) {
        rows[id].counts = counts;
    }
    std::vector<FlightLineRow> result;
    result.reserve(rows.size());
    for (auto& [id, row] : rows) {
        row.sourceId = id;
        result.push_back(row);
    }
    return result;
}

bool differs(const ClassCounts& counts, const DifferenceClasses& failOn) {
    for (const DifferenceClass kind : ALL_DIFFERENCE_CLASSES) {
        if (failOn.has(kind) && counts[kind] != 0) {
            return true;
        }
    }
    return false;
}

void printSummary(std::ostream& out, const ComparisonReport& report) {
    const ClassCounts& counts = report.summary.counts;
    out << "\nSummary: reference " << counted(report.reference.scan.points, "point") << " in "
        << counted(report.reference.scan.legs, "leg") << ", test "
        << counted(report.test.scan.points, "point") << " in " << counted(report.test.scan.legs, "leg")
        << "; epsilon " << report.parameters.epsilon
        << (report.parameters.epsilonFromScale ? " (coarser scale factor)" : "") << ", rgb-epsilon "
        << report.parameters.rgbEpsilon << '\n';
    out << "  " << std::left << std::setw(10) << "class" << std::right << std::setw(14) << "points"
        << std::setw(12) << "share"
        << "  of\n";
    for (const DifferenceClass kind : ALL_DIFFERENCE_CLASSES) {
        const bool ofReference = kind == DifferenceClass::removed;
        const std::uint64_t of = ofReference ? report.reference.scan.points : report.test.scan.points;
        out << "  " << std::left << std::setw(10) << nameOf(kind) << std::right << std::setw(14)
            << counts[kind] << std::setw(12) << share(counts[kind], of) << "  "
            << (ofReference ? "reference" : "test") << '\n';
    }
    if (report.summary.displacement.count != 0) {
        const DisplacementStatistics& d = report.summary.displacement;
        out << "  displacement of modified points: mean |d| " << d.magnitude.mean << ", max |d| "
            << d.magnitude.maxAbs << ", mean (dx, dy, dz) (" << d.dx.mean << ", " << d.dy.mean << ", "
            << d.dz.mean << ")\n";
    }
    for (const std::string& warning : report.warnings) {
        out << "  warning: " << warning << '\n';
    }
    out << "Result: " << (counts.total() == 0 ? "same" : "different")
        << (report.exitStatus != 0 ? " (exit status 1)" : " (exit status 0)") << '\n';
}

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

} // namespace Orvid::Compare
