// orvid-compare on clouds without GPS time: planted changes found by position, inputs of which one has
// times, what the reports say, and the plan that cannot cut them.
#include "CommandTest.h"
#include "LasCloudFiles.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <memory>

namespace Orvid::Testing::Compare {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

/// A one-leg survey without GPS time (point format 0), its test copy with 1 % of each change, and the
/// survey with its times (format 7), written once for all tests.
class TimelessSurvey {
public:
    TimelessSurvey() {
        const SyntheticSurvey::SurveyParameters survey{1, 20000, 5};
        const SyntheticSurvey::ChangePlan plan{0.01, 0.01, 0.01, 0.01, 0.01, 0.05};
        reference = writeSurveyLegs(mFolder.path, "reference", survey, {}, nullptr, 0).front();
        test = writeSurveyLegs(mFolder.path, "test", survey, plan, &planted, 0).front();
        timed = writeSurveyLegs(mFolder.path, "timed", survey).front();
    }

    fs::path reference;
    fs::path test;
    fs::path timed;
    SyntheticSurvey::PlantedChanges planted;

private:
    TemporaryFolder mFolder{"timeless-survey"};
};

const TimelessSurvey& timelessSurvey() {
    static const auto survey = std::make_unique<TimelessSurvey>();
    return *survey;
}

class PositionPairing : public CommandTest {
protected:
    /// Compares with `flags` into a JSON report and returns it, `outcome` receiving the run.
    json compareToJson(const std::vector<std::string>& flags, Outcome& outcome) const {
        std::vector<std::string> arguments{"--json", at("report.json")};
        arguments.insert(arguments.end(), flags.begin(), flags.end());
        outcome = compare(arguments);
        return json::parse(contentsOf(at("report.json")));
    }
};

TEST_F(PositionPairing, FindsThePlantedChangesOfACloudWithoutGpsTime) {
    const TimelessSurvey& survey = timelessSurvey();
    const SyntheticSurvey::PlantedChanges& planted = survey.planted;
    ASSERT_GT(planted.moved * planted.reclassified * planted.altered * planted.removed * planted.added, 0u);
    Outcome outcome;
    // Moved by 5 cm, beyond the 1 cm of the scale: a moved point is a removed and an added one.
    json report = compareToJson({survey.reference.string(), survey.test.string()}, outcome);
    EXPECT_EQ(outcome.status, 1) << outcome.err;
    EXPECT_EQ(report["counts"]["removed"], planted.removed + planted.moved);
    EXPECT_EQ(report["counts"]["added"], planted.added + planted.moved);
    EXPECT_EQ(report["counts"]["modified"], 0);
    EXPECT_EQ(report["counts"]["mutated"], planted.reclassified);
    EXPECT_EQ(report["counts"]["altered"], planted.altered);
    EXPECT_EQ(report["attributeDifferences"]["classification"], planted.reclassified);
    const std::string reason = "the reference and the test have a point format without GPS time (0 or 2)";
    EXPECT_EQ(report["pairing"], json({{"by", "position"}, {"reason", reason}}));
    EXPECT_NE(outcome.out.find("Note: points were paired by position (same return number, coordinates "
                               "within epsilon on each axis), not by GPS time, because " +
                               reason),
              std::string::npos)
        << outcome.out;

    // Within a 6 cm epsilon the moved points stay paired, in place. (So wide an epsilon lets a point
    // pair with a neighbour of other attributes now and then: mutated is not exact there.)
    report = compareToJson({"--epsilon", "0.06", survey.reference.string(), survey.test.string()}, outcome);
    EXPECT_EQ(report["counts"]["removed"], planted.removed);
    EXPECT_EQ(report["counts"]["added"], planted.added);
    EXPECT_EQ(report["counts"]["modified"], 0);
}

TEST_F(PositionPairing, PairsBothInputsByPositionWhenOnlyOneHasTimes) {
    const TimelessSurvey& survey = timelessSurvey();
    for (const bool timedReference : {true, false}) {
        SCOPED_TRACE(timedReference ? "timed reference" : "timed test");
        Outcome outcome;
        const fs::path& timeless = survey.reference;
        const json report = compareToJson({(timedReference ? survey.timed : timeless).string(),
                                           (timedReference ? timeless : survey.timed).string()},
                                          outcome);
        // Every point pairs with itself; what format 0 cannot hold (colour, say) may differ.
        EXPECT_NE(outcome.status, 2) << outcome.err;
        EXPECT_EQ(report["counts"]["removed"], 0);
        EXPECT_EQ(report["counts"]["added"], 0);
        EXPECT_EQ(report["counts"]["modified"], 0);
        EXPECT_EQ(report["pairing"]["reason"],
                  std::string(timedReference ? "the test" : "the reference") +
                      " has a point format without GPS time (0 or 2), so the other's times are not "
                      "used either");
        EXPECT_EQ(report["time"]["notes"].size(), 1u);
    }
}

TEST_F(PositionPairing, TheHtmlReportSaysHowPointsPaired) {
    const TimelessSurvey& survey = timelessSurvey();
    const Outcome outcome =
        compare({"--html", at("report.html"), survey.reference.string(), survey.test.string()});
    EXPECT_EQ(outcome.status, 1) << outcome.err;
    EXPECT_NE(contentsOf(at("report.html"))
                  .find("<td id=\"pairing\">by position: the reference and the test have a point format "
                        "without GPS time (0 or 2)</td>"),
              std::string::npos);
}

TEST_F(PositionPairing, APlanRefusesInputsWithoutTimeAndWritesNothing) {
    const TimelessSurvey& survey = timelessSurvey();
    const Outcome outcome = compare(
        {"plan", survey.timed.string(), survey.test.string(), "--shards", "2", "-o", at("plan.json")});
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.err, "orvid-compare: error: the test has a point format without GPS time (0 or 2), so "
                           "the other's times are not used either: the points pair by position, and GPS-time "
                           "shards cannot cut them; compare these inputs in one run\n");
    EXPECT_FALSE(fs::exists(at("plan.json")));
}

} // namespace
} // namespace Orvid::Testing::Compare
