#include "Render/TextSummary.h"

#include <iomanip>
#include <ostream>
#include <sstream>

namespace Orvid::Compare {

std::string share(std::uint64_t count, std::uint64_t of) {
    if (of == 0) {
        return "-";
    }
    std::ostringstream text;
    text << std::fixed << std::setprecision(2) << 100.0 * static_cast<double>(count) / static_cast<double>(of)
         << " %";
    return text.str();
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

} // namespace Orvid::Compare
