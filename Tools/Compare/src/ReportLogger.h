#pragma once

#include <Core/Logging/Logger.h>

#include <array>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

namespace Orvid::Compare {

/// The eleven point attributes the comparator counts differences of, in its report order.
constexpr std::array<const char*, 11> COMPARED_ATTRIBUTES = {
    "intensity",      "nbReturns",     "classificationFlags",
    "scannerChannel", "scanDirection", "edgeOfFlightLine",
    "classification", "userData",      "scanAngle",
    "sourceId",       "color"};

/// Receives the library's log lines: prints them (unless quiet) and keeps the per-attribute counts of
/// the comparator's statistics report.
class ReportLogger final : public Core::Logging::Logger {
public:
    ReportLogger(std::ostream& out, std::ostream& err, bool quiet);

    void info(const std::string& message) override;
    void warning(const std::string& message) override;
    void debug(const std::string& message) override;
    void error(const std::string& message) override;
    void verbose(const std::string& message) override;

    /// The counts of the last statistics report, when one was logged.
    const std::optional<std::array<std::uint64_t, 11>>& attributeDifferences() const { return mCounts; }

private:
    void print(const std::string& message);
    void parseStatistics(const std::string& message);

    std::ostream& mOut;
    std::ostream& mErr;
    bool mQuiet;
    std::optional<std::array<std::uint64_t, 11>> mCounts;
};

} // namespace Orvid::Compare
