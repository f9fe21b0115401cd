#pragma once

#include "Gather/ComparisonSettings.h"

#include <cstdint>
#include <string>
#include <vector>

namespace CLI {
class App;
class Option;
} // namespace CLI

// What a single run and `plan` both take, declared once so that a plan takes what a run takes.
namespace Orvid::Compare {

/// Declares --version on `app`.
CLI::Option* declareVersionFlag(CLI::App& app);

/// REFERENCE and TEST, as given.
struct InputArguments {
    std::string reference;
    std::string test;
    /// Words after TEST, which no command takes.
    std::vector<std::string> extra;

    /// Declares them on `app`, which reads into this.
    void declare(CLI::App& app);
    /// Throws CLI::ValidationError unless both are given and nothing more, naming a misspelt subcommand
    /// as such; for the demo (`demo`), unless at most the first (its folder) is.
    void check(bool demo) const;
};

/// The comparison flags, --epsilon to --fail-on. CLI11 reads them as text, and `read` checks and
/// converts them once the whole command line is parsed.
class ComparisonFlags {
public:
    /// Declares the flags on `app`, which reads into this.
    explicit ComparisonFlags(CLI::App& app);
    ComparisonFlags(const ComparisonFlags&) = delete;
    ComparisonFlags& operator=(const ComparisonFlags&) = delete;

    /// The settings that the flags given say. Throws CLI::ValidationError naming the flag of a value
    /// out of its range.
    ComparisonSettings read() const;

private:
    void declareEpsilons(CLI::App& app);
    void declareAttributeFlags(CLI::App& app);
    void declareRunAndVerdictFlags(CLI::App& app);

    /// The settings that CLI11 reads as they are: pairing by channel, strict.
    ComparisonSettings mDirect;
    std::string mEpsilon = "auto";
    std::string mEpsilonXY;
    std::string mEpsilonZ;
    std::vector<std::string> mTolerances;
    /// Lists (--ignore, --fail-on, --ignore-metadata) as given: one per time the flag is.
    std::vector<std::string> mIgnored;
    std::vector<std::string> mFailOn;
    std::vector<std::string> mIgnoredMetadata;
    std::string mTimeOffset;
    std::string mRgbEpsilon = "0";
    bool mNoPointAttributes = false;
    bool mNoExtraAttributes = false;
    std::string mMemory;
    CLI::Option* mMemoryOption = nullptr;
    std::string mThreads;
    CLI::Option* mThreadsOption = nullptr;
    std::string mOutFormat;
};

} // namespace Orvid::Compare
