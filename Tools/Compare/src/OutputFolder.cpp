#include "OutputFolder.h"

#include <Core/IOException.h>

#include <system_error>

#include <unistd.h>

namespace Orvid::Compare {
namespace {

namespace fs = std::filesystem;

const char* const MODIFIED = "modified";
const char* const DISPLACEMENT = "displacement";

} // namespace

OutputFolder::OutputFolder(fs::path folder, const FileIoInterface::Las::Xyz& testScale)
    : mFolder(std::move(folder))
    , mStaging(mFolder / (".orvid-compare-partial-" + std::to_string(::getpid()))) {
    std::error_code error;
    fs::create_directories(mStaging, error);
    if (error) {
        throw Core::IOException(mFolder.string() + ": cannot create the output folder (" + error.message() +
                                ")");
    }
    mModified = std::make_unique<FileIoInterface::Las::LasWriter>(mStaging / MODIFIED);
    FileIoInterface::Las::LasWriterOptions displacementOptions;
    // Displacements are small numbers around zero: keep the test files' precision, not their offset.
    displacementOptions.scaleOffset = FileIoInterface::Las::LasScaleOffset{testScale, {}};
    mDisplacement =
        std::make_unique<FileIoInterface::Las::LasWriter>(mStaging / DISPLACEMENT, displacementOptions);
}

OutputFolder::~OutputFolder() {
    mModified.reset();
    mDisplacement.reset();
    if (!mCommitted) {
        std::error_code ignored;
        fs::remove_all(mStaging, ignored);
    }
}

fs::path OutputFolder::staged(DifferenceClass kind) const {
    return mStaging / std::string(nameOf(kind));
}

void OutputFolder::commit() {
    mModified.reset();
    mDisplacement.reset();
    std::error_code error;
    for (const fs::path& name : {fs::path(MODIFIED), fs::path(DISPLACEMENT), fs::path("added"),
                                 fs::path("removed"), fs::path("mutated"), fs::path("altered")}) {
        const fs::path target = mFolder / name;
        fs::remove_all(target, error);
        if (fs::exists(mStaging / name)) {
            fs::rename(mStaging / name, target, error);
            if (error) {
                throw Core::IOException(target.string() + ": cannot move the output into place (" +
                                        error.message() + ")");
            }
        }
    }
    fs::remove_all(mStaging, error);
    mCommitted = true;
}

} // namespace Orvid::Compare
