#include <FileIoInterface/MemoryManagement/DefaultStrategy.h>

#include "AssertRecorder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>

namespace {

using Orvid::FileIoInterface::MemoryManagement::DefaultStrategy;

TEST(DefaultStrategy, ChargesTheRoundedUpEstimateTimesTheMemoryRatio) {
    Orvid::Testing::AssertRecorder asserts;
    DefaultStrategy strategy;
    EXPECT_EQ(strategy.requiredOverlap(), 0.0);
    EXPECT_EQ(strategy.approximateSizePerPoint(), 12.0);
    EXPECT_EQ(strategy.maximumNumberOfPointsIn(1000000), 83333U);
    strategy.setInternalPointSize(40);
    EXPECT_EQ(strategy.approximateSizePerPoint(), 72.0);
    EXPECT_EQ(strategy.maximumNumberOfPointsIn(1000000), 13888U);

    DefaultStrategy rounded(1.5, 1.25, 2, 8);
    rounded.setInternalPointSize(10);
    const DefaultStrategy copy(rounded);
    rounded.setInternalPointSize(30);
    EXPECT_EQ(copy.requiredOverlap(), 1.5);
    EXPECT_EQ(copy.approximateSizePerPoint(), 22.5);
    EXPECT_EQ(copy.maximumNumberOfPointsIn(1000000), 21739U); // ceil(22.5) * 2 = 46 bytes a point
    EXPECT_EQ(copy.maximumNumberOfPointsIn(0), 0U);
    EXPECT_EQ(copy.maximumNumberOfPointsIn(std::numeric_limits<std::size_t>::max()),
              std::numeric_limits<std::size_t>::max() / 46);
    EXPECT_TRUE(asserts.reports().empty());
}

TEST(DefaultStrategy, ReportsBadArgumentsAndKeepsThem) {
    Orvid::Testing::AssertRecorder asserts;
    EXPECT_EQ(DefaultStrategy(-2.5).requiredOverlap(), 2.5);
    EXPECT_EQ(DefaultStrategy(0.0, 0.5).approximateSizePerPoint(), 4.0);
    EXPECT_EQ(DefaultStrategy(0.0, 1.5, 0).maximumNumberOfPointsIn(1000000), 0U);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    DefaultStrategy strategy(nan, nan);
    strategy = DefaultStrategy(0.0, 1.5, 1, 0);
    strategy.setInternalPointSize(40);
    strategy.setInternalPointSize(0);
    EXPECT_EQ(strategy.approximateSizePerPoint(), 0.0);
    // Both the check and the division ask the virtual estimate.
    struct Zero final : DefaultStrategy {
        double approximateSizePerPoint() const override { return 0.0; }
    };
    EXPECT_EQ(Zero().maximumNumberOfPointsIn(1000), 0U);

    std::vector<std::string> reports;
    for (const auto& report : asserts.reports()) {
        EXPECT_EQ(report.file, "FileIoInterface/src/FileIoInterface/MemoryManagement/DefaultStrategy.cpp");
        reports.push_back(std::to_string(report.line) + " " + report.message);
    }
    const auto at = [](int line, const char* condition) {
        return std::to_string(line) + " " + Orvid::Testing::assertText(condition);
    };
    // The lines are part of the contract: a reformatting that moves one must fail here.
    EXPECT_THAT(reports, ::testing::ElementsAre(at(23, "olap >= 0.0"), at(21, "szRatio >= 1.0"),
                                                at(22, "memRatio > 0"), at(21, "szRatio >= 1.0"),
                                                at(23, "olap >= 0.0"), at(47, "sz > 0"),
                                                at(29, "approximateSizePerPoint() > 0")));
}

} // namespace
