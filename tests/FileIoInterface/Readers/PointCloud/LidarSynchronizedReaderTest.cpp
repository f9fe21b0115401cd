#include <FileIoInterface/Readers/PointCloud/LidarSynchronizedReader.h>
#include <FileIoInterface/Readers/PointCloud/TrajectorySynchronizedReader.h>

#include "AssertRecorder.h"
#include "LogRecorder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <utility>

namespace {

using namespace Orvid::FileIoInterface::Readers::PointCloud;
using Orvid::Testing::assertText;
using Orvid::Testing::LogLine;
using Bounds = std::vector<std::pair<double, double>>;

const double INF = std::numeric_limits<double>::infinity();

// The pure operations with no data behind them; the identifiers the bases keep, exposed.
template <typename Base>
class Stub : public Base {
public:
    using Base::Base;
    using Base::getSoftwareId;
    using Base::getSystemId;
    void open(const std::filesystem::path&) override {}
    void close() override {}
    bool isOpen() const override { return false; }
    Orvid::Maths::Interval<double> timeSpan() const override { return {}; }
    bool seek(double) override { return false; }
    double currentTime() const override { return 0.0; }
    std::size_t readUntil(double) override { return 0; }
    bool hasMoreRecords() const override { return false; }
};

class Lidar final : public Stub<LidarSynchronizedReader> {
public:
    explicit Lidar(std::size_t legs, bool withRangeFilter = false)
        : Stub(legs, "system", "software", withRangeFilter) {}
    using LidarSynchronizedReader::isRangeFilterEnabled;
    using LidarSynchronizedReader::updateLegInterval;

    Bounds bounds() const {
        Bounds result;
        for (const auto& interval : getLegIntervals()) {
            result.emplace_back(interval.lower, interval.upper);
        }
        return result;
    }
};

class Trajectory final : public Stub<TrajectorySynchronizedReader> {
public:
    using Stub::Stub;
    std::array<double, 6> poseAt(double) override { return {}; }
    std::string ids() const { return getSystemId() + "|" + getSoftwareId(); }
};

TEST(LidarSynchronizedReader, WidensIntervalsStrictlyAndCopiesThem) {
    Orvid::Testing::AssertRecorder asserts;
    Lidar reader(3, true);
    EXPECT_EQ(reader.bounds(), (Bounds{{INF, -INF}, {INF, -INF}, {INF, -INF}}));
    EXPECT_EQ(Lidar(0).getLegIntervals().capacity(), 0U);
    for (double time : {5.0, 3.0, 4.0}) {
        reader.updateLegInterval(0, time);
    }
    reader.updateLegInterval(1, 0.0);
    // -0.0 equals both bounds of [+0.0, +0.0]: only a non-strict test would store it.
    reader.updateLegInterval(1, -0.0);
    EXPECT_FALSE(std::signbit(reader.getLegIntervals()[1].lower) ||
                 std::signbit(reader.getLegIntervals()[1].upper));
    EXPECT_TRUE(asserts.reports().empty());

    const Lidar copy(reader);
    reader.updateLegInterval(2, 1.0);
    EXPECT_EQ(copy.bounds(), (Bounds{{3.0, 5.0}, {0.0, 0.0}, {INF, -INF}}));
    EXPECT_EQ(copy.getSystemId() + copy.getSoftwareId() + Trajectory("A", "B").ids(), "systemsoftwareA|B");
    EXPECT_TRUE(copy.isRangeFilterEnabled() && !Lidar(1, false).isRangeFilterEnabled());
    // Destroyed through either base, the whole reader goes (the sanitizer build checks the sizes).
    std::unique_ptr<Orvid::FileIoInterface::Readers::RangeFilterInterface> filter =
        std::make_unique<Lidar>(copy);
    std::unique_ptr<Orvid::FileIoInterface::Readers::Reader> base = std::make_unique<Lidar>(copy);
}

TEST(LidarSynchronizedReader, ReportsBadTimesAndLegsAtTheirLines) {
    Orvid::Testing::AssertRecorder asserts;
    Lidar reader(3);
    reader.updateLegInterval(0, 1.0e-310);
    reader.updateLegInterval(1, std::numeric_limits<double>::quiet_NaN());
    reader.updateLegInterval(2, INF);
    reader.updateLegInterval(3, 1.0);
    EXPECT_EQ(reader.bounds(), (Bounds{{1.0e-310, 1.0e-310}, {INF, -INF}, {INF, INF}}));
    const std::string time = assertText("time == 0.0 || std::isnormal( time )");
    ASSERT_THAT(asserts.messages(),
                ::testing::ElementsAre(time, time, time, assertText("legIntervals.size() > i")));
    EXPECT_EQ(asserts.reports()[0].file,
              "FileIoInterface/src/FileIoInterface/Readers/PointCloud/LidarSynchronizedReader.cpp");
    EXPECT_EQ(asserts.reports()[0].line, 51U);
    EXPECT_EQ(asserts.reports()[3].line, 52U);
}

TEST(LidarSynchronizedReader, LogsAllIntervalsInOneSignedFixedLine) {
    Orvid::Testing::LogRecorder log;
    Lidar reader(2);
    for (double time : {1.0, 2.5}) {
        reader.updateLegInterval(0, time);
    }
    reader.updateLegInterval(1, 4.0);
    reader.log();
    Lidar(1).log();
    Lidar(0).log();
    EXPECT_THAT(log.lines(),
                ::testing::ElementsAre(LogLine{"info", "[ +1.000000000000000000 ; +2.500000000000000000 ]"
                                                       "[ +4.000000000000000000 ; +4.000000000000000000 ]"},
                                       LogLine{"info", "[ +inf ; -inf ]"}, LogLine{"info", ""}));
}

} // namespace
