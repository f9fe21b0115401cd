#pragma once

#include "DifferenceClass.h"

#include <FileIoInterface/Las/LasWriter.h>
#include <FileIoInterface/LegInformation.h>
#include <FileIoInterface/Readers/PointCloud/Comparator.h>

#include <filesystem>
#include <memory>

namespace Orvid::Compare {

/// The folder that `--out` names. Everything is written into a staging folder inside it and moved
/// into place by `commit()`, so that an interrupted run leaves no partial output under a final name;
/// a staging folder that was not committed is removed.
class OutputFolder {
public:
    /// `testScale` is the scale of the displacement files, whose offset is 0.
    OutputFolder(std::filesystem::path folder, const FileIoInterface::Las::Xyz& testScale);
    ~OutputFolder();
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

    /// The comparator's writers: the modified points as read, and their displacements.
    FileIoInterface::Outputs::PointCloud::PointCloudWriter& modifiedWriter() { return *mModified; }
    FileIoInterface::Outputs::PointCloud::PointCloudWriter& displacementWriter() { return *mDisplacement; }

    /// Writes the points of one class as a single leg "<class>.las" in the folder "<class>/", with the
    /// metadata of `leg` (its source file gives the scale, offset and format). Returns the number of
    /// points that could not be written.
    template <typename Points>
    std::uint64_t writeClass(DifferenceClass kind, const Points& points, FileIoInterface::LegInformation leg);

    /// Moves the written folders to their final places, replacing earlier ones.
    void commit();

    const std::filesystem::path& folder() const { return mFolder; }

private:
    std::filesystem::path staged(DifferenceClass kind) const;

    std::filesystem::path mFolder;
    std::filesystem::path mStaging;
    std::unique_ptr<FileIoInterface::Las::LasWriter> mModified;
    std::unique_ptr<FileIoInterface::Las::LasWriter> mDisplacement;
    bool mCommitted = false;
};

template <typename Points>
std::uint64_t OutputFolder::writeClass(DifferenceClass kind, const Points& points,
                                       FileIoInterface::LegInformation leg) {
    if (points.empty()) {
        return 0;
    }
    FileIoInterface::Las::LasWriter writer(staged(kind));
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
