// orvid-compare: pairs the points of a reference and a test cloud by GPS time and return number and
// reports what was removed, added, moved or altered; with --demo, on a generated survey whose changes it
// knows.
#include "Command/CommandLine.h"
#include "Command/CompareCommand.h"
#include "Command/Demo.h"

#include <iostream>

int main(int argc, char** argv) {
    using namespace Orvid::Compare;
    std::ios::sync_with_stdio(false);
    const auto parsed = parseCommandLine(argc, argv);
    if (const auto* early = std::get_if<EarlyExit>(&parsed)) {
        return early->status;
    }
    const CompareOptions& options = std::get<CompareOptions>(parsed);
    const int status = runGuarded(std::cerr, [&options] {
        if (options.demo) {
            const DemoRun demo = prepareDemo(options, std::cout);
            return checkDemo(demo, runComparison(demo.options, std::cout, std::cerr), std::cout, std::cerr);
        }
        return runComparison(options, std::cout, std::cerr).exitStatus;
    });
    std::cout.flush();
    return status;
}
