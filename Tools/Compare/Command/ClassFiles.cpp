#include "Command/ClassFiles.h"

#include <Core/IOException.h>
#include <FileIoInterface/Las/LasCarriedFields.h>
#include <FileIoInterface/Las/LasReader.h>
#include <FileIoInterface/LegInformation.h>

#include <algorithm>

namespace Orvid::Compare {
namespace {

namespace fs = std::filesystem;
using FileIoInterface::Las::LasWriter;
using FileIoInterface::Las::LasWriterOptions;

/// The metadata of leg `leg` of an input as its reader gives it, for writing points of that leg.
FileIoInterface::LegInformation legOf(const InputLegs& input, std::size_t leg) {
    return FileIoInterface::Las::legInformationOf(input.files[leg], input.headers[leg], leg);
}

} // namespace

ClassFiles::ClassFiles(fs::path staging, InputLegs reference, InputLegs test, ClassFileKind referenceKind,
                       ClassFileKind testKind)
    : mStaging(std::move(staging))
    , mReference(std::move(reference))
    , mTest(std::move(test))
    , mReferenceKind(std::move(referenceKind))
    , mTestKind(std::move(testKind))
    , mDisplacementOptions(mTestKind.options)
    , mSources{decltype(mSources)::value_type(mReference.files.size()),
               decltype(mSources)::value_type(mTest.files.size())}
    , mSourceTried{std::vector<bool>(mReference.files.size()), std::vector<bool>(mTest.files.size())}
    , mModified(mTest.files.size())
    , mDisplacement(mTest.files.size()) {
    // Displacements are small numbers around zero and no positions: the test's precision, no offset
    // and no coordinate system.
    mDisplacementOptions.scaleOffset = FileIoInterface::Las::LasScaleOffset{mTest.headers.front().scale, {}};
    mDisplacementOptions.copyCoordinateSystem = false;
}

ClassFiles::~ClassFiles() = default;

LasWriter& ClassFiles::perTestLeg(std::vector<std::unique_ptr<LasWriter>>& writers, const char* folder,
                                  const LasWriterOptions& options, std::uint32_t leg) {
    std::unique_ptr<LasWriter>& writer = writers[leg];
    if (!writer) {
        writer = std::make_unique<LasWriter>(mStaging / folder, options);
        // Each leg keeps its own scale and offset, so that its points are stored as they were read.
        writer->beginLeg(legOf(mTest, leg), FileIoInterface::Las::carriedFieldsOf(mTest.headers[leg]));
    }
    return *writer;
}

LasWriter& ClassFiles::ofClass(DifferenceClass kind) {
    std::unique_ptr<LasWriter>& writer = mClasses[static_cast<std::size_t>(kind)];
    if (!writer) {
        const bool reference = kind == DifferenceClass::removed;
        const std::string name(nameOf(kind));
        writer =
            std::make_unique<LasWriter>(mStaging / name, (reference ? mReferenceKind : mTestKind).options);
        FileIoInterface::LegInformation leg = legOf(reference ? mReference : mTest, 0);
        leg.name = name;
        writer->beginLeg(leg);
    }
    return *writer;
}

FileIoInterface::Las::LasPointOrigin ClassFiles::originOf(std::size_t side, const ClassFileKind& kind,
                                                          const Engine::PointId& id,
                                                          const std::uint8_t* record) {
    if (kind.options.compression != FileIoInterface::Las::LasCompression::Laz || record == nullptr) {
        return {};
    }
    const InputLegs& input = side == 0 ? mReference : mTest;
    if (!mSourceTried[side][id.leg]) {
        mSourceTried[side][id.leg] = true;
        if (input.headers[id.leg].compressed) {
            try {
                mSources[side][id.leg] =
                    std::make_unique<FileIoInterface::Las::LazChunkSource>(input.files[id.leg]);
            } catch (const Core::IOException&) {
                // Copying chunks only spares compressing them again: without it, they are compressed.
            }
        }
    }
    return {mSources[side][id.leg].get(), id.record, record};
}

void ClassFiles::write(LasWriter& writer, const FileIoInterface::Las::LasPoint& point,
                       const FileIoInterface::Las::LasPointOrigin& origin) {
    if (!writer.write(point, origin)) {
        ++mUnwritten;
    }
}

void ClassFiles::decided(const Engine::Decision& decision) {
    using Engine::PointClass;
    const auto fromTest = [this, &decision] {
        return originOf(1, mTestKind, decision.test, decision.testRecord);
    };
    switch (decision.pointClass) {
    case PointClass::unchanged:
        return;
    case PointClass::mutated:
        write(ofClass(DifferenceClass::mutated), *decision.testPoint, fromTest());
        return;
    case PointClass::altered:
        write(ofClass(DifferenceClass::altered), *decision.testPoint, fromTest());
        return;
    case PointClass::added:
        write(ofClass(DifferenceClass::added), *decision.testPoint, fromTest());
        return;
    case PointClass::removed:
        write(ofClass(DifferenceClass::removed), *decision.referencePoint,
              originOf(0, mReferenceKind, decision.reference, decision.referenceRecord));
        return;
    case PointClass::modified:
        write(perTestLeg(mModified, "modified", mTestKind.options, decision.test.leg), *decision.testPoint,
              fromTest());
        mDisplaced = *decision.testPoint;
        mDisplaced.setX(decision.displacement.dx);
        mDisplaced.setY(decision.displacement.dy);
        mDisplaced.setZ(decision.displacement.dz);
        write(perTestLeg(mDisplacement, "displacement", mDisplacementOptions, decision.test.leg), mDisplaced);
        return;
    }
}

void ClassFiles::finish() {
    // A class without points has no file. Once a point is modified, though, every test leg gets its
    // modified/ and displacement/ files, empty or not, as a writer that follows the legs would give them.
    const bool modified =
        std::any_of(mModified.begin(), mModified.end(),
                    [](const std::unique_ptr<LasWriter>& writer) { return writer != nullptr; });
    for (std::uint32_t leg = 0; modified && leg < mTest.files.size(); ++leg) {
        perTestLeg(mModified, "modified", mTestKind.options, leg).endLeg();
        mModified[leg].reset();
        perTestLeg(mDisplacement, "displacement", mDisplacementOptions, leg).endLeg();
        mDisplacement[leg].reset();
    }
    for (std::unique_ptr<LasWriter>& writer : mClasses) {
        if (writer) {
            writer->endLeg();
            writer.reset();
        }
    }
}

} // namespace Orvid::Compare
