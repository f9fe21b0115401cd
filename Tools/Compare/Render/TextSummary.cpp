#include "Render/TextSummary.h"

#include <CompareEngine/ComparedAttribute.h>

#include <algorithm>
#include <iomanip>
#include <ostream>
#include <sstream>
#include <vector>

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

void printRunHeader(std::ostream& out, const ComparisonReport& report) {
    const auto describe = [](const InputDescription& input) {
        return input.path.string() + " (" + counted(input.files.size(), "leg") + ", " +
               counted(input.announcedPoints, "point") + ")";
    };
    const RunParameters& parameters = report.parameters;
    out << "Reference: " << describe(report.reference) << "\nTest:      " << describe(report.test)
        << "\nEpsilon:   " << parameters.epsilon
        << (parameters.epsilonFromScale ? " (the coarser coordinate scale factor)" : "")
        << (parameters.epsilonExact ? " (0 given: the same stored position at the finest scale factor)" : "");
    if (parameters.epsilonXY != parameters.epsilon || parameters.epsilonZ != parameters.epsilon) {
        out << "; " << parameters.epsilonXY << " across x and y, " << parameters.epsilonZ << " along z";
    }
    out << "\nTolerances:";
    for (const auto& [name, value] : parameters.tolerances) {
        out << ' ' << name << '=' << exactNumber(value);
    }
    out << "\nIgnored:   ";
    for (std::size_t index = 0; index < parameters.ignored.size(); ++index) {
        out << (index == 0 ? "" : ", ") << parameters.ignored[index];
    }
    out << (parameters.ignored.empty() ? "nothing" : "");
    if (parameters.timeOffset != 0.0) {
        out << "\nTime:      " << exactNumber(parameters.timeOffset) << " s added to the test times";
    }
    out << "\nMemory:    " << (parameters.memory >> 20) << " MiB for the comparison, "
        << counted(parameters.threads, "thread")
        << (parameters.pairByChannel ? "; pairing by scanner channel too" : "") << '\n';
}

void printAttributeStatistics(std::ostream& out, const ComparisonReport& report) {
    out << "rgbEpsilon: " << report.parameters.rgbEpsilon << '\n';
    if (!report.summary.attributeDifferences) {
        return;
    }
    out << "Statistics of point-cloud comparison:\n";
    const std::vector<std::string>& ignored = report.parameters.ignored;
    for (std::size_t index = 0; index < Engine::COMPARED_ATTRIBUTE_COUNT; ++index) {
        const char* name = Engine::COMPARED_ATTRIBUTES[index].name;
        out << '\t' << name << ":\t";
        // An ignored attribute was not compared: a count of 0 would claim it is unchanged.
        if (std::find(ignored.begin(), ignored.end(), name) != ignored.end()) {
            out << "ignored\n";
        } else {
            out << (*report.summary.attributeDifferences)[index] << '\n';
        }
    }
}

void printTopTransitions(std::ostream& out, const ComparisonReport& report) {
    constexpr std::size_t SHOWN = 5;
    std::vector<std::pair<std::pair<std::uint8_t, std::uint8_t>, std::uint64_t>> transitions(
        report.summary.classTransitions.begin(), report.summary.classTransitions.end());
    if (transitions.empty()) {
        return;
    }
    std::stable_sort(transitions.begin(), transitions.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    out << "  class changes (reference -> test):";
    for (std::size_t index = 0; index < transitions.size() && index < SHOWN; ++index) {
        const auto& [classes, count] = transitions[index];
        out << (index == 0 ? " " : ", ") << unsigned{classes.first} << " -> " << unsigned{classes.second}
            << ": " << count;
    }
    if (transitions.size() > SHOWN) {
        out << ", and " << counted(transitions.size() - SHOWN, "more transition");
    }
    out << '\n';
}

namespace {

std::string describeSystems(const Metadata::InputMetadata& input) {
    std::string text;
    for (const Metadata::InputCoordinateSystem& system : input.coordinateSystems) {
        text += (text.empty() ? "" : ", ") + system.describe() + " from " + system.source;
    }
    if (input.filesWithoutCoordinateSystem != 0) {
        text += (text.empty() ? "none" : ", none in " + counted(input.filesWithoutCoordinateSystem, "file"));
    }
    return text;
}

void printMetadata(std::ostream& out, const Metadata::MetadataReport& metadata) {
    out << "  coordinate system: reference " << describeSystems(metadata.inputs[0]) << "; test "
        << describeSystems(metadata.inputs[1]) << '\n';
    if (metadata.differences.empty()) {
        out << "  metadata: no difference\n";
        return;
    }
    out << "  metadata: " << counted(metadata.differences.size(), "difference") << '\n';
    for (const Metadata::MetadataDifference& difference : metadata.differences) {
        out << "    " << difference.field << ": " << difference.reference << " -> " << difference.test
            << '\n';
    }
}

} // namespace

void printSummary(std::ostream& out, const ComparisonReport& report) {
    const ClassCounts& counts = report.summary.counts;
    out << '\n';
    for (const std::string& note : timeNotes(report)) {
        out << "Note: " << note << '\n';
    }
    out << "Summary: reference " << counted(report.reference.scan.points, "point") << " in "
        << counted(report.reference.scan.legs, "leg") << ", test "
        << counted(report.test.scan.points, "point") << " in " << counted(report.test.scan.legs, "leg")
        << "; epsilon " << report.parameters.epsilon
        << (report.parameters.epsilonFromScale ? " (coarser scale factor)" : "") << ", rgb-epsilon "
        << report.parameters.rgbEpsilon << '\n';
    if (report.parameters.windows > 1) {
        out << "  compared in " << counted(report.parameters.windows, "GPS-time window") << " within "
            << (report.parameters.memory >> 20) << " MiB\n";
    }
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
    for (const auto& [name, count] : report.summary.extraDifferences) {
        out << "  extra attribute " << name << ": " << counted(count, "pair") << " differ\n";
    }
    printTopTransitions(out, report);
    printMetadata(out, report.metadata);
    for (const std::string& warning : report.warnings) {
        out << "  warning: " << warning << '\n';
    }
    const bool same = counts.total() == 0 && report.metadata.differences.empty();
    out << "Result: " << (same ? "same" : "different") << " (exit status " << report.exitStatus << ")\n";
}

} // namespace Orvid::Compare
