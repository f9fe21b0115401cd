#pragma once

#include "Command/ClassFileKind.h"
#include "Gather/DifferenceClass.h"

#include <CompareEngine/DecisionSink.h>
#include <FileIoInterface/Las/LasHeader.h>
#include <FileIoInterface/Las/LasPoint.h>
#include <FileIoInterface/Las/LasWriter.h>
#include <FileIoInterface/Las/LazChunkSource.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

namespace Orvid::Compare {

/// One input's legs, for writing points of that input's kind.
struct InputLegs {
    std::vector<std::filesystem::path> files;
    std::vector<FileIoInterface::Las::LasHeader> headers;
};

/// The class files that `--out` asks for, written as the engine decides each point into `staging` (the
/// run's output transaction moves them into place, all or none):
/// - `modified/` the test points as read, and `displacement/` their displacements (x, y, z = test −
///   reference, in the test's scale with offset 0), each framed as the test legs: one file per test leg;
/// - `added/added.las`, `mutated/mutated.las`, `altered/altered.las`: test points, in the test's kind;
/// - `removed/removed.las`: reference points, in the reference's kind.
/// No class is held in memory: each point goes to its file as it is decided. A LAZ class file copies
/// the chunks of a LAZ input that it holds whole, unchanged, instead of compressing them again. A class
/// without points has
/// no file (no folder either); modified/ and displacement/ have a file for every test leg, empty or
/// not, as soon as one point is modified.
class ClassFiles final : public Engine::DecisionSink {
public:
    ClassFiles(std::filesystem::path staging, InputLegs reference, InputLegs test,
               ClassFileKind referenceKind, ClassFileKind testKind);
    ~ClassFiles() override;
    ClassFiles(const ClassFiles&) = delete;
    ClassFiles& operator=(const ClassFiles&) = delete;

    void decided(const Engine::Decision& decision) override;

    /// Completes every file, writing the empty legs that frame the test legs when some point is
    /// modified. Throws Core::IOException
    /// when a file cannot be completed.
    void finish();
    /// Points that a file's format could not hold, left out.
    std::uint64_t unwritten() const { return mUnwritten; }

private:
    FileIoInterface::Las::LasWriter&
    perTestLeg(std::vector<std::unique_ptr<FileIoInterface::Las::LasWriter>>& writers, const char* folder,
               const FileIoInterface::Las::LasWriterOptions& options, std::uint32_t leg);
    FileIoInterface::Las::LasWriter& ofClass(DifferenceClass kind);
    /// Where the test (side 1) or reference (side 0) point `id` with record bytes `record` was read, for
    /// a writer of `kind` to copy the chunks it repeats.
    FileIoInterface::Las::LasPointOrigin originOf(std::size_t side, const ClassFileKind& kind,
                                                  const Engine::PointId& id, const std::uint8_t* record);
    void write(FileIoInterface::Las::LasWriter& writer, const FileIoInterface::Las::LasPoint& point,
               const FileIoInterface::Las::LasPointOrigin& origin = {});

    std::filesystem::path mStaging;
    InputLegs mReference;
    InputLegs mTest;
    ClassFileKind mReferenceKind;
    ClassFileKind mTestKind;
    FileIoInterface::Las::LasWriterOptions mDisplacementOptions;
    /// Per input, per leg, its chunks once a LAZ class file needed them; null until then, or when they
    /// cannot be copied. Declared before the writers, which refer to them until they are gone.
    std::array<std::vector<std::unique_ptr<FileIoInterface::Las::LazChunkSource>>, 2> mSources;
    std::array<std::vector<bool>, 2> mSourceTried;
    std::vector<std::unique_ptr<FileIoInterface::Las::LasWriter>> mModified;
    std::vector<std::unique_ptr<FileIoInterface::Las::LasWriter>> mDisplacement;
    /// Writers of added/, mutated/, altered/ and removed/; the array has a slot per class, modified
    /// (written per leg) included.
    std::array<std::unique_ptr<FileIoInterface::Las::LasWriter>, 5> mClasses;
    FileIoInterface::Las::LasPoint mDisplaced;
    std::uint64_t mUnwritten = 0;
};

} // namespace Orvid::Compare
