#include "Render/HtmlReport.h"

#include "Gather/ComparisonSettings.h"
#include "Render/TextSummary.h"

#include "Render/ReportCharts.h"
#include "Render/SvgWriter.h"

#include <FileIoInterface/Version.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <map>
#include <ostream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace Orvid::Compare {
namespace {

constexpr const char* STYLE = R"(
body { font: 14px/1.45 system-ui, "DejaVu Sans", sans-serif; color: #222; margin: 24px auto; max-width: 1000px;
       padding: 0 16px; }
h1 { font-size: 22px; margin: 0 0 8px; }
h2 { font-size: 17px; margin: 28px 0 8px; border-bottom: 1px solid #ddd; padding-bottom: 4px; }
table { border-collapse: collapse; margin: 6px 0; }
th, td { padding: 3px 10px; border-bottom: 1px solid #eee; text-align: left; vertical-align: top; }
td.n, th.n { text-align: right; font-variant-numeric: tabular-nums; }
.verdict { display: inline-block; font-weight: 600; padding: 4px 12px; border-radius: 4px; margin: 4px 0 10px; }
.verdict.same { background: #e3f4ea; color: #135c31; }
.verdict.different { background: #fbe6dc; color: #8a2c00; }
.swatch { display: inline-block; width: 12px; height: 12px; border-radius: 2px; margin-right: 6px;
          vertical-align: -1px; }
.legend { list-style: none; padding: 0; margin: 6px 0; }
.legend li { display: inline-block; margin-right: 18px; }
.note { color: #666; }
.warning { color: #8a2c00; }
svg { display: block; margin: 6px 0; }
svg text { font: 12px system-ui, "DejaVu Sans", sans-serif; fill: #333; }
svg text.panel-number { font-weight: 600; paint-order: stroke; stroke: #fff; stroke-width: 3px; }
details { margin: 4px 0; }
code { font-size: 13px; }
)";

/// A measurement in coordinate units, to six significant digits.
std::string measure(double value) {
    std::ostringstream text;
    text << std::setprecision(6) << value;
    return text.str();
}

/// A positive length to three significant digits, in plain notation: "320", "1.7", "0.0123".
std::string roughly(double value) {
    const int magnitude = value > 0.0 ? static_cast<int>(std::floor(std::log10(value))) : 0;
    return formatNumber(value, std::max(0, 2 - magnitude));
}

std::string swatch(std::string_view colour) {
    return "<span class=\"swatch\" style=\"background:" + std::string(colour) + "\"></span>";
}

void writeInputRow(std::ostream& out, const char* role, const InputDescription& input) {
    std::string formats;
    for (const std::string& format : input.formats) {
        formats += (formats.empty() ? "" : "; ") + format;
    }
    out << "<tr id=\"input-" << role << "\"><th>" << role << "</th><td><code>"
        << escapeText(input.path.string()) << "</code>";
    if (input.files.size() > 1 || (input.files.size() == 1 && input.files.front() != input.path)) {
        out << "<details><summary>" << input.files.size() << " files</summary>";
        for (std::size_t i = 0; i < input.files.size() && i < MAX_FILES_LISTED; ++i) {
            out << "<code>" << escapeText(input.files[i].filename().string()) << "</code><br>";
        }
        if (input.files.size() > MAX_FILES_LISTED) {
            out << "<span class=\"note\">and " << input.files.size() - MAX_FILES_LISTED << " more</span>";
        }
        out << "</details>";
    }
    out << "</td><td class=\"n\" data-legs=\"" << input.scan.legs << "\">" << formatCount(input.scan.legs)
        << "</td><td class=\"n\" data-points=\"" << input.scan.points << "\">"
        << formatCount(input.scan.points) << "</td><td>" << escapeText(formats) << "</td></tr>\n";
}

std::string systemsOf(const Metadata::InputMetadata& input) {
    std::string text;
    for (const Metadata::InputCoordinateSystem& system : input.coordinateSystems) {
        text += (text.empty() ? "" : "; ") + system.describe() + ", from " + system.source + ", " +
                counted(system.files, "file");
    }
    if (input.filesWithoutCoordinateSystem != 0) {
        text += (text.empty() ? "" : "; ") + std::string("none in ") +
                counted(input.filesWithoutCoordinateSystem, "file");
    }
    return text;
}

// The coordinate systems and every metadata difference, near the top: a changed coordinate system
// matters more than any point.
void writeMetadata(std::ostream& out, const Metadata::MetadataReport& metadata) {
    out << "<table id=\"metadata\">\n<tr><th>metadata</th><th>kind</th><th>reference</th><th>test</th></tr>\n"
        << "<tr><td>coordinate system</td><td>crs</td><td>" << escapeText(systemsOf(metadata.inputs[0]))
        << "</td><td>" << escapeText(systemsOf(metadata.inputs[1])) << "</td></tr>\n";
    for (const Metadata::MetadataDifference& difference : metadata.differences) {
        out << "<tr class=\"difference\"><td><code>" << escapeText(difference.field) << "</code></td><td>"
            << Metadata::nameOf(difference.kind) << "</td><td>" << escapeText(difference.reference)
            << "</td><td>" << escapeText(difference.test) << "</td></tr>\n";
    }
    if (metadata.differences.empty()) {
        out << "<tr><td colspan=\"4\">no difference in the headers, records or coordinate "
               "systems</td></tr>\n";
    }
    out << "</table>\n";
}

void writeHeader(std::ostream& out, const ComparisonReport& report) {
    const bool different = report.summary.counts.total() != 0 || !report.metadata.differences.empty();
    out << "<header>\n<h1>Point-cloud comparison</h1>\n<div id=\"verdict\" class=\"verdict "
        << (different ? "different" : "same") << "\" data-exit-status=\"" << report.exitStatus << "\">"
        << (different ? "Different" : "Same") << " \xE2\x80\x94 exit status " << report.exitStatus
        << "</div>\n";
    const std::vector<std::string> notes = timeNotes(report);
    if (!notes.empty()) {
        out << "<ul id=\"time-notes\">\n";
        for (const std::string& note : notes) {
            out << "<li class=\"warning\">" << escapeText(note) << "</li>\n";
        }
        out << "</ul>\n";
    }
    out << "<table id=\"inputs\">\n<tr><th></th><th>path</th><th class=\"n\">legs</th><th "
           "class=\"n\">points</th>"
           "<th>format</th></tr>\n";
    writeInputRow(out, "reference", report.reference);
    writeInputRow(out, "test", report.test);
    out << "</table>\n";
    writeMetadata(out, report.metadata);

    const RunParameters& parameters = report.parameters;
    std::string failOn;
    for (const std::string& name : failOnNames(parameters.failOn, parameters.metadataFailOn)) {
        failOn += (failOn.empty() ? "" : ", ") + name;
    }
    out << "<table id=\"parameters\">\n<tr><th>epsilon</th><td>" << measure(parameters.epsilon) << " ("
        << (parameters.epsilonFromScale ? "the coarser coordinate scale factor of the inputs" : "given")
        << ")";
    if (parameters.epsilonXY != parameters.epsilon || parameters.epsilonZ != parameters.epsilon) {
        out << "; " << measure(parameters.epsilonXY) << " across x and y, " << measure(parameters.epsilonZ)
            << " along z";
    }
    out << "</td></tr>\n<tr><th>tolerances</th><td id=\"tolerances\">";
    for (std::size_t index = 0; index < parameters.tolerances.size(); ++index) {
        out << (index == 0 ? "" : ", ") << "<code>" << escapeText(parameters.tolerances[index].first)
            << "</code> " << exactNumber(parameters.tolerances[index].second);
    }
    out << "</td></tr>\n<tr><th>ignored</th><td id=\"ignored\">";
    for (std::size_t index = 0; index < parameters.ignored.size(); ++index) {
        out << (index == 0 ? "" : ", ") << "<code>" << escapeText(parameters.ignored[index]) << "</code>";
    }
    out << (parameters.ignored.empty() ? "none" : "") << "</td></tr>\n";
    if (parameters.timeOffset != 0.0) {
        out << "<tr><th>time offset</th><td>" << exactNumber(parameters.timeOffset)
            << " s added to the test times</td></tr>\n";
    }
    out << "<tr><th>rgb-epsilon</th><td>" << parameters.rgbEpsilon
        << "</td></tr>\n<tr><th>compared</th><td>positions"
        << (parameters.pointAttributes ? ", point attributes" : "")
        << (parameters.extraAttributes ? ", extra-bytes attributes" : "")
        << (parameters.pairedByPosition
                ? "</td></tr>\n<tr><th>pairing</th><td id=\"pairing\">by position: " +
                      escapeText(parameters.pairedByPositionBecause)
                : (parameters.pairByChannel
                       ? "</td></tr>\n<tr><th>pairing</th><td>by GPS time, return number and scanner channel"
                       : ""))
        << "</td></tr>\n<tr><th>memory</th><td>" << formatCount(parameters.memory >> 20) << " MiB, "
        << parameters.threads << (parameters.threads == 1 ? " thread" : " threads") << ", "
        << parameters.windows << (parameters.windows == 1 ? " GPS-time window" : " GPS-time windows")
        << "</td></tr>\n<tr><th>fail on</th><td>" << (failOn.empty() ? "none" : failOn)
        << "</td></tr>\n</table>\n";
    if (!report.warnings.empty()) {
        out << "<ul id=\"warnings\">\n";
        for (const std::string& warning : report.warnings) {
            out << "<li class=\"warning\">" << escapeText(warning) << "</li>\n";
        }
        out << "</ul>\n";
    }
    out << "</header>\n";
}

void writeClassSummary(std::ostream& out, const ComparisonReport& report) {
    out << "<section id=\"summary\">\n<h2>Differences</h2>\n<table>\n<tr><th>class</th><th "
           "class=\"n\">points</th>"
           "<th class=\"n\">share</th><th>of</th></tr>\n";
    for (const DifferenceClass kind : ALL_DIFFERENCE_CLASSES) {
        const bool ofReference = kind == DifferenceClass::removed;
        const std::uint64_t count = report.summary.counts[kind];
        const std::uint64_t of = ofReference ? report.reference.scan.points : report.test.scan.points;
        out << "<tr><td>" << swatch(colourOf(kind)) << nameOf(kind) << "</td><td class=\"n\" id=\"count-"
            << nameOf(kind) << "\" data-count=\"" << count << "\">" << formatCount(count)
            << "</td><td class=\"n\">" << share(count, of) << "</td><td>"
            << (ofReference ? "reference" : "test") << "</td></tr>\n";
    }
    out << "</table>\n</section>\n";
}

void writeMapSection(std::ostream& out, const ComparisonReport& report) {
    out << "<section id=\"map-section\">\n<h2>Where the differences lie</h2>\n";
    if (!report.map) {
        out << "<p class=\"note\">No map: no point has finite coordinates.</p>\n</section>\n";
        return;
    }
    const DifferenceMap& map = *report.map;
    const Extent& extent = map.reference.extent();
    out << "<p class=\"note\">Top view, north up: x " << formatNumber(extent.minX) << " to "
        << formatNumber(extent.maxX) << ", y " << formatNumber(extent.minY) << " to "
        << formatNumber(extent.maxY) << ", in cells of " << roughly(map.reference.cellSize())
        << " coordinate units.";
    const std::vector<MapPanel> panels = mapPanels(map.reference.columns(), map.reference.rows());
    if (panels.size() > 1) {
        const bool wide = map.reference.columns() >= map.reference.rows();
        const std::size_t along = wide ? map.reference.columns() : map.reference.rows();
        out << " The extent is long, so it is cut into " << panels.size() << " panels of about "
            << roughly(static_cast<double>(along) / static_cast<double>(panels.size()) *
                       map.reference.cellSize())
            << " coordinate units of "
            << (wide ? "x each, numbered from west to east" : "y each, numbered from north to south") << '.';
    }
    out << "</p>\n";
    writeMapSvg(out, map);
    out << "<ul class=\"legend\">\n";
    for (const DifferenceClass kind : ALL_DIFFERENCE_CLASSES) {
        out << "<li>" << swatch(colourOf(kind)) << nameOf(kind) << " (" << formatCount(map.of(kind).binned())
            << ")</li>\n";
    }
    out << "<li>";
    for (const char* shade : DENSITY_SHADES) {
        out << swatch(shade);
    }
    out << "reference points per cell, 1 to " << formatCount(map.reference.maxCount())
        << "</li>\n</ul>\n<p class=\"note\">A cell where several classes differ takes the colour of the one "
           "most concentrated there, relative to its average over the cells it occupies.</p>\n";
    std::uint64_t outside = map.reference.outside();
    for (const DensityGrid& grid : map.classes) {
        outside += grid.outside();
    }
    if (outside != 0) {
        out << "<p class=\"warning\" id=\"map-outside\">" << formatCount(outside)
            << " points lie outside the extent that the headers state and are not drawn.</p>\n";
    }
    out << "</section>\n";
}

void writeDisplacementSection(std::ostream& out, const ComparisonReport& report) {
    const DisplacementStatistics& d = report.summary.displacement;
    out << "<section id=\"displacement\">\n<h2>How far the modified points moved</h2>\n";
    writeHistogramSvg(out, d);
    out << "<table id=\"displacement-statistics\">\n<tr><th></th><th class=\"n\">mean</th><th "
           "class=\"n\">RMS</th>"
           "<th class=\"n\">largest</th></tr>\n";
    const std::vector<std::pair<const char*, const SeriesStatistics*>> rows = {
        {"|d|", &d.magnitude}, {"dx", &d.dx}, {"dy", &d.dy}, {"dz", &d.dz}};
    for (const auto& [name, series] : rows) {
        out << "<tr><th>" << escapeText(name) << "</th><td class=\"n\">" << measure(series->mean)
            << "</td><td class=\"n\">" << measure(series->rms) << "</td><td class=\"n\">"
            << measure(series->maxAbs) << "</td></tr>\n";
    }
    out << "</table>\n<p class=\"note\">Of " << formatCount(d.count)
        << " modified points, in coordinate units; d = test - reference (largest: of the absolute values). "
           "Means of dx, dy or dz away from 0 reveal a systematic shift.</p>\n</section>\n";
}

void writeAttributeSection(std::ostream& out, const ComparisonReport& report) {
    out << "<section id=\"attribute-differences\">\n<h2>Which point attributes differ</h2>\n";
    if (report.summary.attributeDifferences) {
        writeAttributeChartSvg(out, *report.summary.attributeDifferences);
        out << "<p class=\"note\">Pairs in place that differ in each attribute; a pair can differ in "
               "several.</p>\n";
    } else {
        out << "<p class=\"note\">Point attributes were not compared.</p>\n";
    }
    const auto& extras = report.summary.extraDifferences;
    if (!extras.empty()) {
        out << "<table id=\"extra-differences\">\n<tr><th>extra attribute</th><th class=\"n\">pairs that "
               "differ</th></tr>\n";
        for (const auto& [name, count] : extras) {
            out << "<tr><td><code>" << escapeText(name) << "</code></td><td class=\"n\" data-count=\""
                << count << "\">" << formatCount(count) << "</td></tr>\n";
        }
        out << "</table>\n";
    }
    out << "</section>\n";
}

/// The mutated pairs whose class changed, as a table of reference class (rows) by test class
/// (columns), each cell shaded by its share of the largest count.
void writeTransitionSection(std::ostream& out, const ComparisonReport& report) {
    const auto& transitions = report.summary.classTransitions;
    out << "<section id=\"class-transitions\">\n<h2>How classes changed</h2>\n";
    if (transitions.empty()) {
        out << "<p class=\"note\">No pair in place changed its class.</p>\n</section>\n";
        return;
    }
    // At most the busiest classes on either axis, so that any classification keeps the page small.
    constexpr std::size_t MAX_CLASSES = 24;
    std::map<std::uint8_t, std::uint64_t> fromTotals;
    std::map<std::uint8_t, std::uint64_t> toTotals;
    std::uint64_t largest = 0;
    for (const auto& [classes, count] : transitions) {
        fromTotals[classes.first] += count;
        toTotals[classes.second] += count;
        largest = std::max(largest, count);
    }
    const auto busiest = [&](const std::map<std::uint8_t, std::uint64_t>& totals) {
        std::vector<std::pair<std::uint8_t, std::uint64_t>> ranked(totals.begin(), totals.end());
        std::stable_sort(ranked.begin(), ranked.end(),
                         [](const auto& a, const auto& b) { return a.second > b.second; });
        std::set<std::uint8_t> kept;
        for (std::size_t index = 0; index < ranked.size() && index < MAX_CLASSES; ++index) {
            kept.insert(ranked[index].first);
        }
        return kept;
    };
    const std::set<std::uint8_t> from = busiest(fromTotals);
    const std::set<std::uint8_t> to = busiest(toTotals);
    std::uint64_t hidden = 0;
    for (const auto& entry : transitions) {
        hidden += from.count(entry.first.first) != 0 && to.count(entry.first.second) != 0 ? 0u : 1u;
    }
    out << "<table id=\"transition-table\">\n<tr><th>reference \xE2\x86\x92 test</th>";
    for (const std::uint8_t column : to) {
        out << "<th class=\"n\">" << unsigned{column} << "</th>";
    }
    out << "</tr>\n";
    for (const std::uint8_t row : from) {
        out << "<tr><th class=\"n\">" << unsigned{row} << "</th>";
        for (const std::uint8_t column : to) {
            const auto cell = transitions.find({row, column});
            if (cell == transitions.end()) {
                out << "<td class=\"n\"></td>";
                continue;
            }
            const double shade =
                0.15 + 0.85 * static_cast<double>(cell->second) / static_cast<double>(largest);
            out << "<td class=\"n\" data-from=\"" << unsigned{row} << "\" data-to=\"" << unsigned{column}
                << "\" data-count=\"" << cell->second << "\" style=\"background:rgba(215,95,40,"
                << formatNumber(shade, 2) << ")\">" << formatCount(cell->second) << "</td>";
        }
        out << "</tr>\n";
    }
    out << "</table>\n<p class=\"note\">Pairs in place whose classification differs, by reference class "
           "(rows) and test class (columns).";
    if (hidden != 0) {
        out << " " << formatCount(hidden) << " transitions between less frequent classes are not shown; the "
            << "JSON report has them all.";
    }
    out << "</p>\n</section>\n";
}

void writeFlightLineSection(std::ostream& out, const ComparisonReport& report) {
    std::vector<FlightLineRow> lines = flightLineRows(report);
    std::stable_sort(lines.begin(), lines.end(),
                     [](const auto& a, const auto& b) { return a.counts.total() > b.counts.total(); });

    out << "<section id=\"flight-lines\">\n<h2>By flight line</h2>\n<table id=\"flight-line-table\" "
           "data-lines=\""
        << lines.size()
        << "\">\n<tr><th class=\"n\">point source id</th><th class=\"n\">reference</th>"
           "<th class=\"n\">test</th>";
    for (const DifferenceClass kind : ALL_DIFFERENCE_CLASSES) {
        out << "<th class=\"n\">" << swatch(colourOf(kind)) << nameOf(kind) << "</th>";
    }
    out << "<th class=\"n\">differences</th></tr>\n";
    for (std::size_t i = 0; i < lines.size() && i < MAX_FLIGHT_LINES_LISTED; ++i) {
        const FlightLineRow& line = lines[i];
        const ClassCounts& counts = line.counts;
        out << "<tr data-source-id=\"" << line.sourceId << "\"><td class=\"n\">" << line.sourceId
            << "</td><td class=\"n\">" << formatCount(line.referencePoints) << "</td><td class=\"n\">"
            << formatCount(line.testPoints) << "</td>";
        for (const DifferenceClass kind : ALL_DIFFERENCE_CLASSES) {
            out << "<td class=\"n\">" << formatCount(counts[kind]) << "</td>";
        }
        out << "<td class=\"n\">" << formatCount(counts.total()) << "</td></tr>\n";
    }
    out << "</table>\n";
    if (lines.size() > MAX_FLIGHT_LINES_LISTED) {
        out << "<p class=\"note\">" << formatCount(lines.size() - MAX_FLIGHT_LINES_LISTED)
            << " more flight lines with fewer differences are not listed; the JSON report has them "
               "all.</p>\n";
    }
    out << "</section>\n";
}

} // namespace

void writeHtmlPage(std::ostream& out, const ComparisonReport& report) {
    out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<meta name=\"generator\" content=\"orvid-compare "
        << FILEIOINTERFACE_VERSION_STRING << "\">\n<title>Comparison of "
        << escapeText(report.test.path.filename().string()) << " with "
        << escapeText(report.reference.path.filename().string()) << "</title>\n<style>" << STYLE
        << "</style>\n</head>\n<body>\n";
    writeHeader(out, report);
    writeClassSummary(out, report);
    writeMapSection(out, report);
    writeDisplacementSection(out, report);
    writeAttributeSection(out, report);
    writeTransitionSection(out, report);
    writeFlightLineSection(out, report);
    out << "<footer class=\"note\"><p>Written by orvid-compare " << FILEIOINTERFACE_VERSION_STRING
        << ".</p></footer>\n</body>\n</html>\n";
}

void writeHtmlReport(const std::filesystem::path& path, const ComparisonReport& report,
                     const std::filesystem::path& shownAs) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    writeHtmlPage(file, report);
    file.close();
    if (!file) {
        throw std::runtime_error(shownAs.string() + ": cannot write the HTML report (" +
                                 std::strerror(errno) + ")");
    }
}

} // namespace Orvid::Compare
