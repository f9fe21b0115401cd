#include <Metadata/PointChecks.h>

#include <gtest/gtest.h>

namespace {

using namespace Orvid::Compare;
using Orvid::FileIoInterface::Las::LasHeader;

// One file of 3 points, two first returns and one second, whose header agrees with them.
struct Input {
    LasHeader header;
    Engine::InputFacts facts;

    Input() {
        header.versionMinor = 2;
        header.pointFormat = 1;
        header.scale = {0.01, 0.01, 0.01};
        header.min = {10.0, 20.0, 1.0};
        header.max = {11.0, 21.0, 2.0};
        header.pointsByReturn[0] = 2;
        header.pointsByReturn[1] = 1;
        facts.points = 3;
        facts.extent = {10.0, 20.0, 11.0, 21.0};
        facts.tally.minZ = 1.0;
        facts.tally.maxZ = 2.0;
        facts.tally.pointsByReturn[1] = 2;
        facts.tally.pointsByReturn[2] = 1;
        facts.tally.lowestTime = 1000.0;
        facts.tally.highestTime = 2000.0;
    }

    std::vector<std::string> warnings() const {
        return Metadata::checkHeadersAgainstPoints("test t.las", {header}, facts);
    }
};

TEST(PointChecks, EachDisagreementBetweenHeaderAndPointsIsOneWarning) {
    Input input;
    EXPECT_TRUE(input.warnings().empty());

    input.header.max.z = 2.004; // within half a step of 0.01
    EXPECT_TRUE(input.warnings().empty());
    input.header.max.z = 2.006;
    EXPECT_EQ(
        input.warnings(),
        std::vector<std::string>{"test t.las: the headers' bounds (min 10 20 1, max 11 21 2.006) are not the "
                                 "points' extent (min 10 20 1, max 11 21 2) to within half a scale step"});

    input = Input();
    input.facts.tally.pointsByReturn[2] = 0;
    input.facts.tally.pointsByReturn[0] = 1;
    input.facts.tally.invalidReturnNumbers = 1;
    EXPECT_EQ(input.warnings(),
              (std::vector<std::string>{
                  "test t.las: the headers count the points of returns 1 to 5 as 2 1 0 0 0, the points are 2 "
                  "0 0 0 0",
                  "test t.las: 1 point has a return number of 0 or above its number of returns"}));
}

TEST(PointChecks, TimesThatContradictTheDeclaredStandardAreNamed) {
    Input input;
    EXPECT_TRUE(input.warnings().empty()); // week time, within a week

    input.facts.tally.highestTime = 604801.0;
    EXPECT_EQ(input.warnings(),
              std::vector<std::string>{
                  "test t.las: the headers declare GPS week time, but the times run from 1000 to "
                  "604801 s, outside a week: they look like adjusted standard GPS time"});

    input.header.globalEncoding = 1; // adjusted standard time
    EXPECT_TRUE(input.warnings().empty());
    input.facts.tally.highestTime = 2000.0;
    EXPECT_EQ(input.warnings(),
              std::vector<std::string>{
                  "test t.las: the headers declare adjusted standard GPS time, but the times run "
                  "from 1000 to 2000 s, within a week: they look like GPS week time"});
}

} // namespace
