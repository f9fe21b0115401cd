#include "Command/OutputFolder.h"

namespace Orvid::Compare {
namespace {

namespace fs = std::filesystem;

const char* const MODIFIED = "modified";
const char* const DISPLACEMENT = "displacement";

} // namespace

OutputFolder::OutputFolder(fs::path folder, fs::path staging, ClassFileKind reference, ClassFileKind test)
    : mFolder(std::move(folder))
    , mStaging(std::move(staging))
    , mReference(std::move(reference))
    , mTest(std::move(test)) {
    mModified = std::make_unique<FileIoInterface::Las::LasWriter>(mStaging / MODIFIED, mTest.options);
    FileIoInterface::Las::LasWriterOptions displacementOptions = mTest.options;
    // Displacements are small numbers around zero: keep the test files' precision, not their offset;
    // they are no positions, so no coordinate system either.
    const FileIoInterface::Las::Xyz testScale =
        mTest.options.carried ? mTest.options.carried->scaleOffset.scale : FileIoInterface::Las::Xyz{};
    displacementOptions.scaleOffset = FileIoInterface::Las::LasScaleOffset{testScale, {}};
    displacementOptions.copyCoordinateSystem = false;
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
