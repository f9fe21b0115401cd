#include "Render/HtmlReport.h"
#include "TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <stdexcept>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace Orvid::Compare;

/// A report as large as a page can get: every map cell of every layer differing from its neighbours,
/// every flight line, thousands of files with markup in their names.
ComparisonReport largestReport() {
    ComparisonReport report;
    for (InputDescription* input : {&report.reference, &report.test}) {
        input->path = "/survey/<script>alert(1)</script>";
        for (int i = 0; i < 5000; ++i) {
            input->files.push_back(input->path / ("leg-" + std::to_string(i) + "<b>.las"));
        }
        for (std::uint32_t id = 0; id <= 0xFFFF; ++id) {
            input->scan.pointsBySourceId[static_cast<std::uint16_t>(id)] = 123456789;
        }
    }
    for (std::uint32_t id = 0; id <= 0xFFFF; ++id) {
        report.summary.byFlightLine[static_cast<std::uint16_t>(id)].counts = {1234567, 1234567, 1234567,
                                                                              1234567, 1};
    }
    report.summary.attributeDifferences = Engine::AttributeCounts{};
    report.warnings.push_back("test: 5 points share a key <ambiguous>");
    for (std::uint32_t from = 0; from < 256; ++from) {
        for (std::uint32_t to = 0; to < 256; ++to) {
            report.summary
                .classTransitions[{static_cast<std::uint8_t>(from), static_cast<std::uint8_t>(to)}] =
                1000 + from;
        }
    }
    report.summary.extraDifferences = {{"<i>Amplitude", 3}};
    report.parameters.tolerances = {{"<i>Amplitude", 0.5}};

    DifferenceMap& map = report.map.emplace(Extent{0.0, 0.0, 1000.0, 1000.0});
    const DensityGrid& reference = map.reference;
    for (std::size_t row = 0; row < reference.rows(); ++row) {
        for (std::size_t column = 0; column < reference.columns(); ++column) {
            const double x = (static_cast<double>(column) + 0.5) * reference.cellSize();
            const double y = (static_cast<double>(row) + 0.5) * reference.cellSize();
            // Alternating between the lightest and darkest shades.
            for (int i = (row + column) % 2 == 0 ? 100 : 1; i > 0; --i) {
                map.reference.add(x, y);
            }
            for (std::size_t kind = 0; kind < map.classes.size(); ++kind) {
                if ((row + column + kind) % 2 == 0) {
                    map.classes[kind].add(x, y);
                }
            }
        }
    }
    return report;
}

TEST(HtmlReport, StaysUnderThreeMegabytesAndEscapesWhatTheInputsName) {
    const ComparisonReport report = largestReport();
    ASSERT_EQ(report.map->reference.columns() * report.map->reference.rows(), DifferenceMap::CELL_BUDGET);
    std::ostringstream page;
    writeHtmlPage(page, report);
    EXPECT_LT(page.str().size(), 3'000'000U);
    EXPECT_EQ(page.str().find("<script"), std::string::npos);
    EXPECT_EQ(page.str().find("<b>"), std::string::npos);
    EXPECT_EQ(page.str().find("<ambiguous>"), std::string::npos);
    EXPECT_EQ(page.str().find("<i>"), std::string::npos);
    // 24 x 24 of the 256 x 256 transitions are shown.
    EXPECT_NE(page.str().find("64\u202F960 transitions between less frequent classes"), std::string::npos);
    EXPECT_NE(page.str().find("64\u202F536 more flight lines"), std::string::npos) << "1000 of 65 536 listed";
}

TEST(HtmlReport, StatesTheTimeNotesFirstThenTolerancesExtrasAndClassTransitions) {
    ComparisonReport report;
    report.reference.timeStandard = "adjusted standard GPS time";
    report.test.timeStandard = "GPS week time";
    report.suggestedTimeOffset = Orvid::Compare::Engine::TimeOffsetEstimate{209600000.0, 4096, 4000, 3990};
    report.parameters.tolerances = {{"intensity", 0.0}, {"scanAngle", 0.5}, {"Amplitude", 2.0}};
    report.parameters.ignored = {"userData"};
    report.summary.extraDifferences = {{"Amplitude", 7}, {"Reflectance", 0}};
    report.summary.classTransitions = {{{2, 1}, 30}, {{1, 2}, 12}};
    std::ostringstream out;
    writeHtmlPage(out, report);
    const std::string page = out.str();
    const std::size_t notes =
        page.find("<ul id=\"time-notes\">\n<li class=\"warning\">the inputs declare "
                  "different time standards: the reference&#39;s GPS times are adjusted");
    ASSERT_NE(notes, std::string::npos) << page;
    EXPECT_LT(notes, page.find("<table id=\"inputs\">"));
    EXPECT_NE(page.find("compare again with --time-offset 209600000</li>"), std::string::npos);
    EXPECT_NE(page.find("<td id=\"tolerances\"><code>intensity</code> 0, <code>scanAngle</code> 0.5, "
                        "<code>Amplitude</code> 2</td>"),
              std::string::npos);
    EXPECT_NE(page.find("<td id=\"ignored\"><code>userData</code></td>"), std::string::npos);
    EXPECT_NE(page.find("<td><code>Amplitude</code></td><td class=\"n\" data-count=\"7\">"),
              std::string::npos);
    EXPECT_NE(page.find("data-from=\"2\" data-to=\"1\" data-count=\"30\""), std::string::npos);
    EXPECT_NE(page.find("data-from=\"1\" data-to=\"2\" data-count=\"12\""), std::string::npos);
    EXPECT_EQ(page.find("data-from=\"1\" data-to=\"1\""), std::string::npos);
}

TEST(HtmlReport, PutsTheMetadataDifferencesAboveTheParametersAndCallsThemDifferent) {
    ComparisonReport report;
    report.metadata.inputs[0].coordinateSystems = {{"NAD83 / UTM zone 15N", 26915, "GeoTIFF keys", 2}};
    report.metadata.differences = {
        {"scale", Metadata::MetadataKind::header, "0.01 0.01 0.01", "0.001 0.001 <1>"}};
    std::ostringstream out;
    writeHtmlPage(out, report);
    const std::string page = out.str();
    const std::size_t table = page.find("<table id=\"metadata\">");
    ASSERT_NE(table, std::string::npos) << page;
    EXPECT_LT(table, page.find("<table id=\"parameters\">"));
    EXPECT_NE(page.find("<td>NAD83 / UTM zone 15N (EPSG:26915), from GeoTIFF keys, 2 files</td><td></td>"),
              std::string::npos);
    EXPECT_NE(page.find("<tr class=\"difference\"><td><code>scale</code></td><td>header</td><td>0.01 0.01 "
                        "0.01</td><td>0.001 0.001 &lt;1&gt;</td></tr>"),
              std::string::npos);
    EXPECT_NE(page.find("class=\"verdict different\""), std::string::npos);
}

TEST(HtmlReport, NamesTheGivenPathWhenItCannotBeWritten) {
    const TemporaryFolder folder;
    const fs::path path = folder / "missing" / "report.html";
    try {
        writeHtmlReport(path, ComparisonReport{}, "shown.html");
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()),
                  "shown.html: cannot write the HTML report (No such file or directory)");
    }
}

} // namespace
