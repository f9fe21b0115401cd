#include "OutputFolder.h"

namespace Orvid::Compare {
namespace {

namespace fs = std::filesystem;

const char* const MODIFIED = "modified";
const char* const DISPLACEMENT = "displacement";

} // namespace

OutputFolder::OutputFolder(fs::path folder, fs::path staging, const FileIoInterface::Las::Xyz& testScale)
    : mFolder(std::move(folder))
    , mStaging(std::move(staging)) {
    mModified = std::make_unique<FileIoInterface::Las::LasWriter>(mStaging / MODIFIED);
    FileIoInterface::Las::LasWriterOptions displacementOptions;
    // Displacements are small numbers around zero: keep the test files' precision, not their offset.
    displacementOptions.scaleOffset = FileIoInterface::Las::LasScaleOffset{testScale, {}};
    mDisplacement =
        std::make_unique<FileIoInterface::Las::LasWriter>(mStaging / DISPLACEMENT, displacementOptions);
}

OutputFolder::~OutputFolder() = default;

fs::path OutputFolder::staged(DifferenceClass kind) const {
    return mStaging / std::string(nameOf(kind));
}

void OutputFolder::finish() {
    mModified.reset();
    mDisplacement.reset();
}

} // namespace Orvid::Compare
