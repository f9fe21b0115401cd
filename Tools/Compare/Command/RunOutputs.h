#pragma once

#include "Command/OutputTransaction.h"
#include "Gather/ComparisonReport.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace Orvid::Compare {

/// The outputs of a single run or of a merge: the JSON and HTML reports and the class-file folder asked
/// for, staged (and so checked, before any input is read) and moved into place together once the
/// reports are written. A JSON report named `-` goes to standard output once everything else is in place.
class RunOutputs {
public:
    /// Stages the outputs asked for (absent: not asked for); `inputs` are the files and folders that the
    /// run reads. Throws std::runtime_error naming an output that cannot be written there.
    RunOutputs(std::vector<std::filesystem::path> inputs, std::optional<std::filesystem::path> jsonFile,
               std::optional<std::filesystem::path> htmlFile,
               std::optional<std::filesystem::path> outDirectory, bool overwrite);

    /// A warning for every destination with too little room for what it will hold: the class files at
    /// most `inputBytes`, the reports a few MiB.
    std::vector<std::string> roomWarnings(std::uint64_t inputBytes) const;

    /// The --out folder as given, and where its class files are written meanwhile; absent without --out.
    const std::optional<std::filesystem::path>& outDirectory() const { return mOutDirectory; }
    const std::optional<std::filesystem::path>& classFileFolder() const { return mClassFileFolder; }

    /// What was made for the outputs, which a failure removes (see OutputTransaction::madePaths).
    OutputTransaction::MadePaths madePaths() const { return mTransaction.madePaths(); }

    /// Writes `report` into the reports asked for, then moves every output into place. Throws
    /// Interrupted, moving nothing, when the run was interrupted meanwhile.
    void commit(const ComparisonReport& report);

    /// Whether `path`, as given for the JSON report, means standard output.
    static bool isStandardOutput(const std::optional<std::filesystem::path>& path) {
        return path && *path == std::filesystem::path("-");
    }

private:
    OutputTransaction mTransaction;
    std::optional<std::filesystem::path> mJsonFile;
    std::optional<std::filesystem::path> mHtmlFile;
    std::optional<std::filesystem::path> mOutDirectory;
    std::optional<std::filesystem::path> mStagedJson;
    std::optional<std::filesystem::path> mStagedHtml;
    std::optional<std::filesystem::path> mClassFileFolder;
};

} // namespace Orvid::Compare
