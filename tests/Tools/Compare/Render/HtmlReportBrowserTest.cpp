// The demo comparison's HTML report rendered by a real browser, headless chromium: the page loads, its
// map, histogram, bar chart and table hold the planted counts, and a screenshot lands in the build
// folder for people to look at.
#include "Command/CompareCommand.h"
#include "Command/Demo.h"
#include "TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;
using namespace Orvid::Compare;

const fs::path OUTPUT_FOLDER = COMPARE_REPORT_OUTPUT_DIR;

std::string contentsOf(const fs::path& file) {
    std::ostringstream text;
    text << std::ifstream(file, std::ios::binary).rdbuf();
    return text.str();
}

struct BrowserRun {
    int status = -1;
    std::string output;
    std::string log;
};

/// Runs headless chromium with a fresh profile in `scratch` on the page `page`.
BrowserRun runChromium(const fs::path& scratch, const std::string& arguments, const fs::path& page) {
    fs::remove_all(scratch / "profile");
    // A guard against a browser that never returns; it is no measure of speed.
    const std::string command =
        "timeout 300 chromium --headless --no-sandbox --disable-gpu --disable-background-networking "
        "--disable-component-update --disable-sync --no-first-run --user-data-dir='" +
        (scratch / "profile").string() + "' " + arguments + " 'file://" + page.string() + "' >'" +
        (scratch / "dom").string() + "' 2>'" + (scratch / "log").string() + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, contentsOf(scratch / "dom"),
            contentsOf(scratch / "log")};
}

/// The markup from the attribute id="`id`" of an element to the first `end` after it.
std::string part(const std::string& dom, const std::string& id, const std::string& end) {
    const std::size_t at = dom.find(" id=\"" + id + "\"");
    return at == std::string::npos ? std::string() : dom.substr(at, dom.find(end, at) - at);
}

/// The values of the attribute `name` in `markup`, in order.
std::vector<std::string> valuesOf(const std::string& markup, const std::string& name) {
    std::vector<std::string> values;
    const std::string key = " " + name + "=\"";
    for (std::size_t at = markup.find(key); at != std::string::npos; at = markup.find(key, at + 1)) {
        const std::size_t start = at + key.size();
        values.push_back(markup.substr(start, markup.find('"', start) - start));
    }
    return values;
}

/// The attribute `name` of the element whose id is `id`, written after the id.
std::string attributeOf(const std::string& dom, const std::string& id, const std::string& name) {
    const std::vector<std::string> values = valuesOf(part(dom, id, ">"), name);
    return values.empty() ? "(none)" : values.front();
}

/// The numbers of the cells of each row of a table, their digits grouped or not.
std::vector<std::vector<std::uint64_t>> tableRows(const std::string& table) {
    std::vector<std::vector<std::uint64_t>> rows;
    for (std::size_t at = table.find("<tr"); at != std::string::npos; at = table.find("<tr", at + 1)) {
        std::vector<std::uint64_t> cells;
        for (std::size_t cell = table.find("<td", at); cell < table.find("</tr>", at);
             cell = table.find("<td", cell + 1)) {
            std::string digits;
            for (std::size_t i = table.find('>', cell) + 1; table[i] != '<'; ++i) {
                digits += std::isdigit(static_cast<unsigned char>(table[i])) ? std::string(1, table[i]) : "";
            }
            cells.push_back(std::stoull(digits));
        }
        if (!cells.empty()) {
            rows.push_back(cells);
        }
    }
    return rows;
}

TEST(HtmlReportInBrowser, ShowsThePlantedChangesInEveryPartAndTakesAScreenshot) {
    if (std::system("command -v chromium >/dev/null") != 0) {
        GTEST_SKIP() << "no chromium on the PATH, so the HTML report was not rendered; scripts/setup.sh "
                        "chromium installs it (make test does so where the package can be installed)";
    }
    const TemporaryFolder folder("orvid-html-report");
    const DemoSurvey survey = writeDemoSurvey(folder / "survey");
    CompareOptions options;
    options.reference = survey.reference;
    options.test = survey.test;
    options.htmlFile = folder / "report.html";
    options.quiet = true;
    options.progress = false;
    std::ostringstream out;
    std::ostringstream err;
    const std::uint64_t testPoints = runComparison(options, out, err).test.scan.points;

    const BrowserRun run = runChromium(folder.path, "--dump-dom", folder / "report.html");
    ASSERT_EQ(run.status, 0) << run.log;
    const std::string& dom = run.output;
    ASSERT_NE(dom.find("Written by orvid-compare"), std::string::npos) << "the page did not load whole:\n"
                                                                       << dom;
    EXPECT_EQ(attributeOf(dom, "verdict", "data-exit-status"), "1");

    const auto& planted = survey.planted;
    const std::vector<std::pair<std::string, std::uint64_t>> expected = {{"removed", planted.removed},
                                                                         {"added", planted.added},
                                                                         {"modified", planted.moved},
                                                                         {"mutated", planted.reclassified},
                                                                         {"altered", planted.altered}};
    for (const auto& [name, count] : expected) {
        EXPECT_EQ(attributeOf(dom, "count-" + name, "data-count"), std::to_string(count)) << name;
        EXPECT_EQ(attributeOf(dom, "map-" + name, "data-points"), std::to_string(count)) << name;
        EXPECT_NE(attributeOf(dom, "map-" + name, "d"), "") << name;
    }
    EXPECT_EQ(attributeOf(dom, "map-reference", "data-points"), "300000");

    std::uint64_t binned = 0;
    for (const std::string& count : valuesOf(part(dom, "histogram", "</svg>"), "data-count")) {
        binned += std::stoull(count);
    }
    EXPECT_EQ(binned, planted.moved);

    const std::string chart = part(dom, "attributes", "</svg>");
    const std::vector<std::string> attributes = valuesOf(chart, "data-attribute");
    const std::vector<std::string> differences = valuesOf(chart, "data-count");
    ASSERT_EQ(attributes.size(), 11U);
    ASSERT_EQ(differences.size(), 11U);
    for (std::size_t i = 0; i < attributes.size(); ++i) {
        EXPECT_EQ(std::stoull(differences[i]), attributes[i] == "classification" ? planted.reclassified : 0U)
            << attributes[i];
    }

    // Columns: source id, reference and test points, the five classes, differences.
    const std::vector<std::vector<std::uint64_t>> rows =
        tableRows(part(dom, "flight-line-table", "</table>"));
    ASSERT_EQ(rows.size(), 3U);
    for (const auto& row : rows) {
        ASSERT_EQ(row.size(), 9U);
    }
    const std::vector<std::uint64_t> totals = {300000,         testPoints,    planted.removed,
                                               planted.added,  planted.moved, planted.reclassified,
                                               planted.altered};
    for (std::size_t column = 1; column <= totals.size(); ++column) {
        EXPECT_EQ(rows[0][column] + rows[1][column] + rows[2][column], totals[column - 1])
            << "column " << column;
    }
    EXPECT_TRUE(rows[0][8] >= rows[1][8] && rows[1][8] >= rows[2][8]) << "most differences first";

    // The page goes beside its screenshot into the build folder, for people to open.
    const fs::path page = OUTPUT_FOLDER / "compare-demo-report.html";
    const fs::path screenshot = OUTPUT_FOLDER / "compare-demo-report.png";
    fs::copy_file(folder / "report.html", page, fs::copy_options::overwrite_existing);
    fs::remove(screenshot);
    const BrowserRun shot =
        runChromium(folder.path, "--screenshot='" + screenshot.string() + "' --window-size=1200,2000", page);
    ASSERT_EQ(shot.status, 0) << shot.log;
    const std::string png = contentsOf(screenshot);
    ASSERT_GE(png.size(), 24U) << screenshot;
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(png.substr(16, 8), std::string("\0\0\x04\xB0\0\0\x07\xD0", 8)) << "1200 x 2000 pixels";
}

} // namespace
