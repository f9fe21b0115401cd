#include "Gather/ComparisonReport.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <map>
#include <sstream>

namespace Orvid::Compare {

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

std::string exactNumber(double value) {
    // Plain notation for the magnitudes of times and tolerances, the shortest that reads back exactly.
    const double magnitude = std::fabs(value);
    const bool plain = magnitude == 0.0 || (magnitude >= 1e-6 && magnitude < 1e16);
    char text[400];
    const std::to_chars_result written =
        std::to_chars(std::begin(text), std::end(text), value,
                      plain ? std::chars_format::fixed : std::chars_format::general);
    return std::string(text, written.ptr);
}

std::vector<std::string> timeNotes(const ComparisonReport& report) {
    std::vector<std::string> notes;
    if (report.parameters.pairedByPosition) {
        // The times played no part in the pairing: nothing else about them matters to the result.
        notes.push_back("points were paired by position (same return number, coordinates within epsilon "
                        "on each axis), not by GPS time, because " +
                        report.parameters.pairedByPositionBecause +
                        "; a point that moved beyond epsilon counts as removed and added");
        return notes;
    }
    const std::string& reference = report.reference.timeStandard;
    const std::string& test = report.test.timeStandard;
    const std::uint64_t fewer = std::min(report.reference.scan.points, report.test.scan.points);
    const std::uint64_t paired = report.test.scan.points - report.summary.counts[DifferenceClass::added];
    const bool mostPaired = fewer != 0 && paired * 2 >= fewer;
    if (!reference.empty() && !test.empty() && reference != test && mostPaired &&
        report.parameters.timeOffset == 0.0) {
        // Times of two standards lie a billion seconds or a week's worth apart: these were not converted.
        notes.push_back("the reference's header declares " + reference + " and the test's " + test +
                        ", yet the times pair as they are: the test's header now mislabels its times");
    } else if (!reference.empty() && !test.empty() && reference != test) {
        notes.push_back(
            "the inputs declare different time standards: the reference's GPS times are " + reference +
            ", the test's " + test +
            (report.parameters.timeOffset != 0.0
                 ? "; the test times were shifted by " + exactNumber(report.parameters.timeOffset) + " s"
                 : "; their times differ by a constant and cannot pair as they are"));
    }
    if (const auto& estimate = report.suggestedTimeOffset) {
        std::ostringstream note;
        note << "few points paired although the clouds overlap: the test times seem to lie "
             << exactNumber(estimate->offset) << " s from the reference's (" << estimate->agreeing << " of "
             << estimate->matched << " sampled points that have a reference point within epsilon agree"
             << "); compare again with --time-offset " << exactNumber(estimate->offset);
        notes.push_back(note.str());
    }
    return notes;
}

bool differs(const ClassCounts& counts, const DifferenceClasses& failOn) {
    for (const DifferenceClass kind : ALL_DIFFERENCE_CLASSES) {
        if (failOn.has(kind) && counts[kind] != 0) {
            return true;
        }
    }
    return false;
}

} // namespace Orvid::Compare
