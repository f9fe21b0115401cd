#include "Command/ParseCommand.h"

#include <CLI/CLI.hpp>

#include <cstdlib>
#include <string>

namespace Orvid::Compare {
namespace {

// A negative number ("--time-offset -3.5") is a value, not an option.
bool isNumber(const std::string& word) {
    char* end = nullptr;
    std::strtod(word.c_str(), &end);
    return end != word.c_str() && *end == '\0';
}

/// Throws CLI::ParseError for the first of the command's words (`argv`, after the command's own name)
/// that CLI11 alone would misread:
/// - "Unknown option: NAME" for a word that has the form of an option but is none of `app`'s. CLI11
///   would take the word after it for a positional argument, and complain about that one instead
///   ("Could not convert: K = PLAN" for `shard --threads 1 PLAN 0`);
/// - a value given to a flag (`--progress=maybe`), which CLI11 would refuse as no boolean of its own
///   spelling;
/// - "--name=" with nothing after it, for which CLI11 would take the next word as the value.
void rejectMisreadOptions(const CLI::App& app, int argc, const char* const* argv) {
    for (int index = 0; index < argc; ++index) {
        const std::string word = argv[index];
        if (word == "--") {
            return;
        }
        if (word.size() < 2 || word[0] != '-' || isNumber(word)) {
            continue;
        }
        const bool isLong = word[1] == '-';
        // "--name=value" names "--name"; "-oDIR" names "-o".
        const std::string name = isLong ? word.substr(0, word.find('=')) : word.substr(0, 2);
        const CLI::Option* option = app.get_option_no_throw(name);
        if (option == nullptr) {
            throw CLI::ExtrasError("Unknown option: " + name, CLI::ExitCodes::ExtrasError);
        }
        const bool valueAttached = isLong ? name.size() < word.size() : word.size() > 2;
        const bool takesValue = option->get_items_expected_max() > 0;
        if (isLong && valueAttached && !takesValue) {
            throw CLI::ValidationError(name, "takes no value, not '" + word.substr(name.size() + 1) + "'");
        }
        if (isLong && takesValue && name.size() + 1 == word.size()) {
            throw CLI::ValidationError(name, "nothing follows '='; give the value after it");
        }
        if (takesValue && !valueAttached) {
            ++index;
        }
    }
}

} // namespace

std::optional<EarlyExit> parseCommand(CLI::App& app, int argc, const char* const* argv,
                                      const std::function<void()>& check) {
    try {
        rejectMisreadOptions(app, argc - 1, argv + 1);
        app.parse(argc, argv);
        if (check) {
            check();
        }
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return EarlyExit{status == 0 ? 0 : 2};
    }
    return std::nullopt;
}

CLI::Validator nonEmptyPath() {
    return CLI::Validator(
        [](const std::string& value) {
            return value.empty() ? std::string("an empty path names no file or folder") : std::string();
        },
        "");
}

std::optional<std::filesystem::path> givenPath(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    return std::filesystem::path(text);
}

} // namespace Orvid::Compare
