#pragma once

#include <FileIoInterface/Outputs/PointCloud/PointCloudWriter.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace Orvid::Testing {

/// A writer that records every call as a line of text: "<name>begin:<leg>", "<name>end" and
/// "<name>write:<time>/<return> <x> <y> <z>". Writers may share one trace to show how their calls
/// interleave. It can be told to fail its n-th write (counting from 1), which it does not record.
class RecordingPointCloudWriter final : public FileIoInterface::Outputs::PointCloud::PointCloudWriter {
public:
    explicit RecordingPointCloudWriter(std::optional<std::size_t> failingWrite = std::nullopt);
    /// Records into `trace`, which must outlive the writer, each line prefixed with `name`.
    RecordingPointCloudWriter(std::vector<std::string>& trace, std::string name);
    RecordingPointCloudWriter(const RecordingPointCloudWriter&) = delete;
    RecordingPointCloudWriter& operator=(const RecordingPointCloudWriter&) = delete;

    void beginLeg(const FileIoInterface::LegInformation& leg) override;
    void endLeg() override;
    Utils::ErrorManagement::ReturnStatus write(const FileIoInterface::InputOutputPoint& point) override;

    const std::vector<std::string>& trace() const { return *mTrace; }
    std::size_t writes() const { return mWrites; }

    /// The message of the failed status.
    static const char* const FAILURE_MESSAGE;

private:
    std::optional<std::size_t> mFailingWrite;
    std::size_t mWrites = 0;
    std::vector<std::string> mOwnTrace;
    std::vector<std::string>* mTrace = &mOwnTrace;
    std::string mName;
};

} // namespace Orvid::Testing
