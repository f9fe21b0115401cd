#pragma once

#include <functional>
#include <optional>

namespace CLI {
class App;
}

namespace Orvid::Compare {

/// The command line could not be parsed, or asked only for help; the command exits with `status`.
struct EarlyExit {
    int status = 0;
};

/// Parses the words of a command (`argv`, its name first) with `app`, then runs `check` on what was
/// read. Names an unknown option as unknown. Help, the version and usage errors are printed here (to
/// standard output and standard error respectively); the result then says how to exit, and is empty
/// when the command line was good. `check` refuses by throwing a CLI::ParseError.
std::optional<EarlyExit> parseCommand(CLI::App& app, int argc, const char* const* argv,
                                      const std::function<void()>& check = {});

} // namespace Orvid::Compare
