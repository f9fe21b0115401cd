#pragma once

#include <FileIoInterface/FileIoInterfaceExport.h>
#include <FileIoInterface/Readers/PointCloud/SynchronizedReader.h>
#include <FileIoInterface/Readers/RangeFilterInterface.h>
#include <Maths/Interval.h>

#include <cstddef>
#include <string>
#include <vector>

namespace Orvid::FileIoInterface::Readers::PointCloud {

/// Base of the synchronized lidar readers: keeps, for each flight leg, the interval spanned by the
/// times the derived reader met in it. An interval that received no time is empty: [+inf, -inf].
struct FILEIOINTERFACE_EXPORT LidarSynchronizedReader : public SynchronizedReader,
                                                        public RangeFilterInterface {
    /// One empty interval per leg; none is allocated for 0 legs.
    LidarSynchronizedReader(std::size_t numberOfLegs, std::string systemId, std::string softwareId,
                            bool rangeFilterEnabled);
    LidarSynchronizedReader(const LidarSynchronizedReader& other);
    ~LidarSynchronizedReader() override;

    /// One interval per leg, in leg order.
    const std::vector<Maths::Interval<double>>& getLegIntervals() const;

    /// Logs every interval as "[ lower ; upper ]", signed with 18 decimals, all in one line at Info
    /// level (an empty line when there are no legs).
    void log();

protected:
    /// Widens the interval of leg `i` so that it contains `time`. Reports a time that is neither 0.0
    /// nor normal (the interval is still widened, unless the time is NaN) and an index beyond the
    /// legs (nothing is changed then).
    void updateLegInterval(std::size_t i, double time);

private:
    std::vector<Maths::Interval<double>> legIntervals;
};

} // namespace Orvid::FileIoInterface::Readers::PointCloud
