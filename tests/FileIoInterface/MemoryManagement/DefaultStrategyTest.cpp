#include <FileIoInterface/MemoryManagement/DefaultStrategy.h>

#include "AssertRecorder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>

namespace {

using Orvid::FileIoInterface::MemoryManagement::DefaultStrategy;
using Orvid::Testing::assertText;
using ::testing::ElementsAre;

TEST(DefaultStrategy, ChargesTheRoundedEstimateTimesTheMemoryRatio) {
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
    EXPECT_EQ(copy.maximumNumberOfPointsIn(1000000), 21739U);
    EXPECT_EQ(copy.maximumNumberOfPointsIn(46), 1U);
    EXPECT_EQ(copy.maximumNumberOfPointsIn(45), 0U);
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
    EXPECT_EQ(strategy.maximumNumberOfPointsIn(1000), 0U);
    strategy.setInternalPointSize(40);
    strategy.setInternalPointSize(0);
    EXPECT_EQ(strategy.approximateSizePerPoint(), 0.0);
    EXPECT_THAT(asserts.messages(),
                ElementsAre(assertText("olap >= 0.0"), assertText("szRatio >= 1.0"),
                            assertText("memRatio > 0"), assertText("szRatio >= 1.0"), assertText("olap >= 0.0"),
                            assertText("approximateSizePerPoint() > 0"), assertText("sz > 0")));
    std::vector<std::uint64_t> lines;
    for (const auto& report : asserts.reports()) {
        EXPECT_EQ(report.file, "FileIoInterface/src/FileIoInterface/MemoryManagement/DefaultStrategy.cpp");
        lines.push_back(report.line);
    }
    EXPECT_EQ(lines, (std::vector<std::uint64_t>{23, 21, 22, 21, 23, 29, 47}));
}

TEST(DefaultStrategy, AsksForTheVirtualEstimateTwice) {
    struct Fixed final : DefaultStrategy {
        mutable int calls = 0;
        double approximateSizePerPoint() const override {
            ++calls;
            return 99.5;
        }
    };
    const Fixed strategy;
    EXPECT_EQ(strategy.maximumNumberOfPointsIn(1000000), 10000U);
    EXPECT_EQ(strategy.calls, 2);
}

} // namespace
