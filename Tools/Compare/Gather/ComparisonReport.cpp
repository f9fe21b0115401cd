#include "Gather/ComparisonReport.h"

#include <map>

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

bool differs(const ClassCounts& counts, const DifferenceClasses& failOn) {
    for (const DifferenceClass kind : ALL_DIFFERENCE_CLASSES) {
        if (failOn.has(kind) && counts[kind] != 0) {
            return true;
        }
    }
    return false;
}

} // namespace Orvid::Compare
