// orvid._orvid: the comparison as the `orvid` package calls it. The Python side turns keyword arguments
// into the command's comparison flags and the report into Python objects; here the comparison runs
// without the GIL, its failures become Python exceptions, and each class's points a NumPy array.
#include "CloudComparison.h"

#include "Command/Interruption.h"

#include <Core/IOException.h>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <csignal>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

namespace py = pybind11;

namespace Orvid::Compare::Python {
namespace {

/// Keeps SIGINT and SIGTERM guarded while any comparison runs. Python threads may compare at once:
/// the handlers that Python had come back when the last of them ends, not when the first does.
class SharedInterruptionGuard {
public:
    SharedInterruptionGuard() {
        const std::lock_guard<std::mutex> lock(state().mutex);
        if (state().comparisons++ == 0) {
            state().guard.emplace();
        }
    }
    ~SharedInterruptionGuard() {
        const std::lock_guard<std::mutex> lock(state().mutex);
        if (--state().comparisons == 0) {
            state().guard.reset();
        }
    }
    SharedInterruptionGuard(const SharedInterruptionGuard&) = delete;
    SharedInterruptionGuard& operator=(const SharedInterruptionGuard&) = delete;

private:
    // Signal handlers are the process's, so this is too.
    struct State {
        std::mutex mutex;
        std::size_t comparisons = 0;
        std::optional<InterruptionGuard> guard;
    };
    static State& state() {
        static State shared;
        return shared;
    }
};

/// Runs the comparison with the GIL released, so that other Python threads go on, and with SIGINT and
/// SIGTERM turned into a clean stop at the next point.
CloudComparison compareReleased(const std::string& reference, const std::string& test,
                                const std::vector<std::string>& flags) {
    const py::gil_scoped_release released;
    const SharedInterruptionGuard interruptions;
    CloudComparison comparison = compareClouds(reference, test, flags);
    // A signal after the last point is not lost: Python would have seen it.
    throwIfInterrupted();
    return comparison;
}

/// The points of the class named `name` as a structured array.
py::array pointsOf(const CloudComparison& comparison, const std::string& name) {
    const std::optional<DifferenceClass> kind = differenceClassNamed(name);
    if (!kind) {
        throw std::invalid_argument("'" + name +
                                    "' is not one of removed, added, modified, mutated, altered");
    }
    const std::vector<ClassPoint>& points = comparison.points[static_cast<std::size_t>(*kind)];
    return py::array_t<ClassPoint>(static_cast<py::ssize_t>(points.size()), points.data());
}

/// Raises the Python exception that a caller expects of what the comparison threw: OSError for a file
/// that cannot be read, KeyboardInterrupt for SIGINT; SIGTERM ends the process as it would have.
void translateComparisonErrors(std::exception_ptr thrown) {
    try {
        std::rethrow_exception(std::move(thrown));
    } catch (const Core::IOException& error) {
        PyErr_SetString(PyExc_OSError, error.what());
    } catch (const std::filesystem::filesystem_error& error) {
        PyErr_SetString(PyExc_OSError, error.what());
    } catch (const Interrupted& interruption) {
        if (interruption.status == 128 + SIGTERM) {
            std::raise(SIGTERM);
        }
        PyErr_SetNone(PyExc_KeyboardInterrupt);
    }
}

} // namespace
} // namespace Orvid::Compare::Python

PYBIND11_MODULE(_orvid, module) {
    namespace orvid = Orvid::Compare::Python;
    using orvid::ClassPoint;
    using orvid::CloudComparison;
    module.doc() = "The comparison engine of orvid-compare; use the orvid package, which wraps it.";
    PYBIND11_NUMPY_DTYPE_EX(ClassPoint, x, "x", y, "y", z, "z", gpsTime, "gps_time", leg, "leg", intensity,
                            "intensity", pointSourceId, "point_source_id", returnNumber, "return_number",
                            classification, "classification", referenceX, "reference_x", referenceY,
                            "reference_y", referenceZ, "reference_z", dx, "dx", dy, "dy", dz, "dz");
    py::register_exception_translator(orvid::translateComparisonErrors);

    py::class_<CloudComparison>(module, "CloudComparison")
        .def_property_readonly(
            "json_report",
            [](const CloudComparison& comparison) { return orvid::jsonReportOf(comparison.report); },
            "The report as the command's --json writes it.")
        .def_property_readonly(
            "text_summary",
            [](const CloudComparison& comparison) { return orvid::textSummaryOf(comparison.report); },
            "The attribute statistics and the summary, as the command prints them.")
        .def("points", &orvid::pointsOf, py::arg("name"),
             "The points of the difference class `name`, as a structured array.");
    module.def("compare", &orvid::compareReleased, py::arg("reference"), py::arg("test"), py::arg("flags"),
               "Compares two clouds with the command's comparison flags.");
}
