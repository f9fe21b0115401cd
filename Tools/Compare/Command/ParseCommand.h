#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace CLI {
class App;
class Validator;
} // namespace CLI

namespace Orvid::Compare {

/// The command line could not be parsed, or asked only for help; the command exits with `status`.
struct EarlyExit {
    int status = 0;
};

/// Parses the words of a command (`argv`, its name first) with `app`, then runs `check` on what was
/// read. Names an unknown option as unknown, and refuses a value given to a flag. Help, the version and
/// usage errors are printed here (to standard output and standard error respectively); the result then
/// says how to exit, and is empty when the command line was good. `check` refuses by throwing a
/// CLI::ParseError.
std::optional<EarlyExit> parseCommand(CLI::App& app, int argc, const char* const* argv,
                                      const std::function<void()>& check = {});

/// Refuses an empty value (`--json ""`), which names no file or folder, for options that name one.
CLI::Validator nonEmptyPath();

/// The path given as `text` to an option that names an output; absent when none was given, or an
/// empty one.
std::optional<std::filesystem::path> givenPath(const std::string& text);

} // namespace Orvid::Compare
