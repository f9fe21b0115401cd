#pragma once

namespace CLI {
class App;
}

namespace Orvid::Compare {

/// Throws CLI::ExtrasError "Unknown option: NAME" for the first of the command's words (`argv`, after
/// the command's own name) that has the form of an option but is none of `app`'s. CLI11 alone would
/// take the word after an unknown option for a positional argument, and complain about that one
/// instead ("Could not convert: K = PLAN" for `shard --threads 1 PLAN 0`).
void rejectUnknownOptions(const CLI::App& app, int argc, const char* const* argv);

} // namespace Orvid::Compare
