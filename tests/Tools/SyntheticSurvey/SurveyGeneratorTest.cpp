#include <SyntheticSurvey/SurveyGenerator.h>

#include "SyntheticClouds.h"

#include <FileIoInterface/Readers/PointCloud/Comparator.h>

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <utility>

namespace {

using Orvid::FileIoInterface::Readers::PointCloud::Comparator;
using namespace Orvid::SyntheticSurvey;

TEST(SurveyGenerator, LegsHoldExactlyTheAskedPointsInTimeOrderWithConsistentReturns) {
    const SurveyParameters parameters{2, 5000, 7};
    for (std::size_t leg = 0; leg < parameters.legs; ++leg) {
        LegGenerator generator(parameters, leg);
        SurveyPoint point;
        std::uint64_t count = 0;
        double lastTime = -1.0;
        std::uint8_t expectedReturn = 1;
        std::set<std::uint8_t> returnCounts;
        while (generator.next(point)) {
            ++count;
            EXPECT_GE(point.time, lastTime);
            if (point.time != lastTime) {
                expectedReturn = 1;
            }
            EXPECT_EQ(point.returnNumber, expectedReturn++);
            EXPECT_LE(point.returnNumber, point.nbReturns);
            EXPECT_EQ(point.sourceId, leg + 1);
            EXPECT_EQ(std::round(point.x * 100.0) * 0.01, point.x);
            EXPECT_LE(std::fabs(point.scanAngle), 20.0);
            returnCounts.insert(point.nbReturns);
            lastTime = point.time;
        }
        EXPECT_EQ(count, parameters.pointsPerLeg);
        EXPECT_EQ(returnCounts, (std::set<std::uint8_t>{1, 2, 3, 4}));
    }
}

TEST(SurveyGenerator, TheComparatorFindsExactlyThePlantedChanges) {
    const SurveyParameters parameters{3, 4000, 11};
    const ChangePlan plan{0.01, 0.01, 0.01, 0.005, 0.005, 0.05};
    PlantedChanges planted;
    auto reference = Orvid::Testing::generatedCloud(parameters);
    auto test = Orvid::Testing::generatedCloud(parameters, plan, &planted);
    EXPECT_GT(planted.moved * planted.reclassified * planted.altered * planted.removed * planted.added, 0U);

    const Comparator comparator(reference, test, 1000, 0.01, Comparator::defaultOptions(), 0);
    EXPECT_EQ(comparator.getModified().size(), planted.moved);
    EXPECT_EQ(comparator.getMutated().size(), planted.reclassified);
    EXPECT_EQ(comparator.getAltered().size(), planted.altered);
    EXPECT_EQ(comparator.getRemoved().size(), planted.removed);
    EXPECT_EQ(comparator.getAdded().size(), planted.added);
    for (const auto& moved : comparator.getModified()) {
        EXPECT_NEAR(moved->getX(), 0.05, 1e-6);
        EXPECT_NEAR(moved->getY(), -0.05, 1e-6);
        EXPECT_NEAR(moved->getZ(), 0.05, 1e-6);
    }
}

TEST(SurveyGenerator, TheSameParametersGiveTheSamePoints) {
    const SurveyParameters parameters{1, 300, 3};
    LegGenerator first(parameters, 0);
    LegGenerator second(parameters, 0);
    LegGenerator otherSeed(SurveyParameters{1, 300, 4}, 0);
    SurveyPoint a;
    SurveyPoint b;
    SurveyPoint c;
    bool anyDifference = false;
    while (first.next(a)) {
        ASSERT_TRUE(second.next(b));
        ASSERT_TRUE(otherSeed.next(c));
        EXPECT_EQ(a.x, b.x);
        EXPECT_EQ(a.z, b.z);
        EXPECT_EQ(a.amplitude, b.amplitude);
        anyDifference = anyDifference || a.z != c.z;
    }
    EXPECT_TRUE(anyDifference);
}

} // namespace
