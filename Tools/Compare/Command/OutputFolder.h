#pragma once

#include "Command/ClassFileKind.h"
#include "Gather/DifferenceClass.h"

#include <FileIoInterface/Las/LasWriter.h>
#include <FileIoInterface/LegInformation.h>
#include <FileIoInterface/Readers/PointCloud/Comparator.h>

#include <filesystem>
#include <memory>

namespace Orvid::Compare {

/// The class files that `--out` asks for, written into `staging` (the run's output transaction moves
/// them into place, all or none) and shown to the user as paths of `folder`.
class OutputFolder {
public:
    /// Removed points are written as `reference` kind, the others as `test` kind; displacements in the
    /// test kind's format and scale, with offset 0.
    OutputFolder(std::filesystem::path folder, std::filesystem::path staging, ClassFileKind reference,
                 ClassFileKind test);
    ~OutputFolder();
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

    /// The comparator's writers: the modified points as read, and their displacements.
    FileIoInterface::Outputs::PointCloud::PointCloudWriter& modifiedWriter() { return *mModified; }
    FileIoInterface::Outputs::PointCloud::PointCloudWriter& displacementWriter() { return *mDisplacement; }

    /// Writes the points of one class as a single leg "<class>.las" in the folder "<class>/", with the
    /// metadata of `leg`, in the kind of the class's input. Returns the number of points that could not
    /// be written.
    template <typename Points>
    std::uint64_t writeClass(DifferenceClass kind, const Points& points, FileIoInterface::LegInformation leg);

    /// Completes the files of the comparator's writers.
    void finish();

    const std::filesystem::path& folder() const { return mFolder; }

private:
    std::filesystem::path staged(DifferenceClass kind) const;

    std::filesystem::path mFolder;
    std::filesystem::path mStaging;
    ClassFileKind mReference;
    ClassFileKind mTest;
    std::unique_ptr<FileIoInterface::Las::LasWriter> mModified;
    std::unique_ptr<FileIoInterface::Las::LasWriter> mDisplacement;
};

template <typename Points>
std::uint64_t OutputFolder::writeClass(DifferenceClass kind, const Points& points,
                                       FileIoInterface::LegInformation leg) {
    if (points.empty()) {
        return 0;
    }
    FileIoInterface::Las::LasWriter writer(staged(kind),
                                           (kind == DifferenceClass::removed ? mReference : mTest).options);
    leg.name = std::string(nameOf(kind));
    writer.beginLeg(leg);
    std::uint64_t failed = 0;
    for (const auto& point : points) {
        if (!writer.write(*point)) {
            ++failed;
        }
    }
    writer.endLeg();
    return failed;
}

} // namespace Orvid::Compare
