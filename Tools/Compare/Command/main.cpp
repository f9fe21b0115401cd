// orvid-compare: pairs the points of a reference and a test cloud by GPS time and return number and
// reports what was removed, added, moved or altered.
#include "Command/CommandLine.h"
#include "Command/CompareCommand.h"

#include <iostream>

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const auto parsed = Orvid::Compare::parseCommandLine(argc, argv);
    if (const auto* early = std::get_if<Orvid::Compare::EarlyExit>(&parsed)) {
        return early->status;
    }
    const int status =
        Orvid::Compare::runCommand(std::get<Orvid::Compare::CompareOptions>(parsed), std::cout, std::cerr);
    std::cout.flush();
    return status;
}
