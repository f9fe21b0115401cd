#include "Command/CommandLine.h"
#include "Command/ComparisonArguments.h"

#include <CLI/CLI.hpp>

namespace Orvid::Compare {
namespace {

constexpr const char* DESCRIPTION = R"(Compares a test point cloud with a reference cloud, point by point.

Points are paired by identity, GPS time and return number, not by file order or nearest neighbour, so
re-sorted or re-tiled data compares correctly. Every test point ends in one class:
  removed   reference points that no test point has the identity of
  added     test points whose identity no reference point has (or several have, none in place)
  modified  moved: the one reference point of that identity lies beyond --epsilon on some axis
  mutated   in place, but a point attribute differs (intensity, returns, classification and its flags,
            scanner channel, scan direction, edge of flight line, user data, scan angle,
            point source id, colour beyond --rgb-epsilon)
  altered   in place, point attributes equal, but an extra-bytes attribute differs
REFERENCE and TEST are each a LAS or LAZ file, or a folder of them (its *.las and *.laz files in
name order are the flight legs). Inputs without GPS time (point formats 0 and 2), and inputs whose
points all share one time, pair by position instead: same return number, coordinates within
--epsilon on each axis; a point that moved then counts as removed and added.

Exit status: 0 when nothing that --fail-on names differs, 1 when something does, 2 on a usage
error or an unreadable or malformed input.)";

constexpr const char* EPILOGUE = R"(
Examples:
  orvid-compare before/ after/
  orvid-compare --epsilon 0.005 --fail-on removed,added --json report.json ref.las new.las
  orvid-compare --out differences/ ref/ new/      (then open differences/*/ in a viewer)
  orvid-compare --demo                             (a synthetic survey with planted changes)
  orvid-compare plan ref/ new/ --shards 8 -o plan.json   (then partition, shard, merge: plan --help)
)";

/// --out, --overwrite, --json and --html, as given.
struct OutputArguments {
    std::string outDirectory;
    std::string jsonFile;
    std::string htmlFile;
    bool overwrite = false;

    void declare(CLI::App& app) {
        app.add_option("--out", outDirectory,
                       "Write the differences as LAS or LAZ files (see --out-format) into this folder: "
                       "modified/ (as read), displacement/ (x, y, z = test - reference), added/, removed/, "
                       "mutated/, altered/")
            ->type_name("DIR")
            ->check(nonEmptyPath());
        app.add_flag("--overwrite", overwrite,
                     "Write into an --out folder that holds other files too (only the files an earlier run "
                     "wrote there are ever replaced)");
        app.add_option("--json", jsonFile,
                       "Write a machine-readable report (JSON, schema 'orvid-compare/1') here")
            ->type_name("FILE")
            ->check(nonEmptyPath());
        app.add_option(
               "--html", htmlFile,
               "Write a self-contained HTML report here: a map of where the differences lie, a "
               "histogram of the displacements, a chart of the attributes that differ and a table per "
               "flight line")
            ->type_name("FILE")
            ->check(nonEmptyPath());
    }

    void giveTo(CompareOptions& options) const {
        options.outDirectory = givenPath(outDirectory);
        options.jsonFile = givenPath(jsonFile);
        options.htmlFile = givenPath(htmlFile);
        options.overwrite = overwrite;
    }
};

/// -q, --progress and --demo; returns --progress, whose value `progress` takes when it is given.
CLI::Option* declareRunFlags(CLI::App& app, CompareOptions& options, bool& progress) {
    app.add_flag("-q,--quiet", options.quiet, "Print nothing but errors");
    CLI::Option* progressFlag = app.add_flag("--progress,!--no-progress", progress,
                                             "Show a progress bar on standard error (default: "
                                             "when it is a terminal)");
    app.add_flag("--demo", options.demo,
                 "Generate a synthetic survey and a changed copy (in the folder given as REFERENCE, or a "
                 "temporary one), compare them and check that the planted changes are found");
    return progressFlag;
}

} // namespace

std::variant<CompareOptions, EarlyExit> parseCommandLine(int argc, const char* const* argv) {
    CLI::App app(DESCRIPTION, "orvid-compare");
    app.footer(EPILOGUE);
    app.get_formatter()->column_width(30);
    declareVersionFlag(app);
    CompareOptions options;
    InputArguments inputs;
    inputs.declare(app);
    ComparisonFlags flags(app);
    OutputArguments outputs;
    outputs.declare(app);
    bool progressGiven = false;
    const CLI::Option* progress = declareRunFlags(app, options, progressGiven);
    if (const std::optional<EarlyExit> early = parseCommand(app, argc, argv, [&] {
            inputs.check(options.demo);
            options.settings = flags.read();
        })) {
        return *early;
    }

    if (options.demo) {
        options.demoDirectory = inputs.reference;
    } else {
        options.reference = inputs.reference;
        options.test = inputs.test;
    }
    outputs.giveTo(options);
    if (progress->count() > 0) {
        options.progress = progressGiven;
    }
    return options;
}

} // namespace Orvid::Compare
