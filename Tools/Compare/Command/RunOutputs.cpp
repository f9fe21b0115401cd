#include "Command/RunOutputs.h"

#include "Command/Interruption.h"
#include "Render/HtmlReport.h"
#include "Render/JsonReport.h"

#include <iostream>
#include <utility>

namespace Orvid::Compare {

namespace fs = std::filesystem;

RunOutputs::RunOutputs(std::vector<fs::path> inputs, std::optional<fs::path> jsonFile,
                       std::optional<fs::path> htmlFile, std::optional<fs::path> outDirectory, bool overwrite)
    : mTransaction(std::move(inputs))
    , mJsonFile(std::move(jsonFile))
    , mHtmlFile(std::move(htmlFile))
    , mOutDirectory(std::move(outDirectory)) {
    if (mJsonFile && !isStandardOutput(mJsonFile)) {
        mStagedJson = mTransaction.stageFile(*mJsonFile, "JSON report");
    }
    if (mHtmlFile) {
        mStagedHtml = mTransaction.stageFile(*mHtmlFile, "HTML report");
    }
    if (mOutDirectory) {
        mClassFileFolder = mTransaction.stageFolder(*mOutDirectory, overwrite);
    }
}

std::vector<std::string> RunOutputs::roomWarnings(std::uint64_t inputBytes) const {
    // The class files hold at most every point of both inputs; the reports are small.
    return mTransaction.roomWarnings(mOutDirectory ? inputBytes : std::uint64_t{8} << 20);
}

void RunOutputs::commit(const ComparisonReport& report) {
    if (mStagedJson) {
        writeJsonReport(*mStagedJson, report, *mJsonFile);
    }
    if (mStagedHtml) {
        writeHtmlReport(*mStagedHtml, report, *mHtmlFile);
    }
    throwIfInterrupted();
    mTransaction.commit();
    if (isStandardOutput(mJsonFile)) {
        writeJsonReport(std::cout, report);
    }
}

} // namespace Orvid::Compare
