#include <FileIoInterface/Readers/PointCloud/LidarSynchronizedReader.h>

#include <Core/Logging/LoggingCallbackPrivate.h>
#include <Utils/CoreAssert.h>

#include <cmath>
#include <iomanip>
#include <limits>
#include <sstream>
#include <utility>

namespace Orvid::FileIoInterface::Readers::PointCloud {

namespace {

// An interval that has received no time: the first time it receives becomes both of its bounds.
constexpr Maths::Interval<double> EMPTY_INTERVAL{std::numeric_limits<double>::infinity(),
                                                 -std::numeric_limits<double>::infinity()};

} // namespace

LidarSynchronizedReader::LidarSynchronizedReader(std::size_t numberOfLegs, std::string lidarSystemId,
                                                 std::string lidarSoftwareId, bool withRangeFilter)
    : SynchronizedReader(std::move(lidarSystemId), std::move(lidarSoftwareId))
    , RangeFilterInterface(withRangeFilter)
    , legIntervals(numberOfLegs, EMPTY_INTERVAL) {}

LidarSynchronizedReader::LidarSynchronizedReader(const LidarSynchronizedReader& other) = default;

LidarSynchronizedReader::~LidarSynchronizedReader() = default;

const std::vector<Maths::Interval<double>>& LidarSynchronizedReader::getLegIntervals() const {
    return legIntervals;
}

void LidarSynchronizedReader::log() {
    std::ostringstream line;
    line << std::showpos << std::fixed << std::setprecision(18);
    for (const Maths::Interval<double>& interval : legIntervals) {
        line << "[ " << interval.lower << " ; " << interval.upper << " ]";
    }
    // Logged even when empty, so that a reader without legs still leaves its line.
    Core::Logging::logMessage(Core::Logging::LoggingType::Info, line.str());
}

void LidarSynchronizedReader::updateLegInterval(std::size_t i, double time) {
    // 0.0 is a valid start of a time base; a subnormal, infinite or NaN time is not. A reported time
    // still goes through the update: an infinite one becomes a bound, a subnormal one widens the
    // interval like any other, and a NaN one fails both strict comparisons, which leaves the interval
    // unchanged.
    CORE_ASSERT( time == 0.0 || std::isnormal( time ) );
    CORE_ASSERT( legIntervals.size() > i );
    // An index beyond the legs has no interval to widen.
    if (i >= legIntervals.size()) {
        return;
    }
    Maths::Interval<double>& interval = legIntervals[i];
    // Strict comparisons: a time equal to a bound changes nothing.
    if (interval.lower > time) {
        interval.lower = time;
    }
    if (time > interval.upper) {
        interval.upper = time;
    }
}

} // namespace Orvid::FileIoInterface::Readers::PointCloud
