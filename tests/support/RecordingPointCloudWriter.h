#pragma once

#include <FileIoInterface/Outputs/PointCloud/PointCloudWriter.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace Orvid::Testing {

/// What a recording writer received, in order.
struct WriterEvent {
    enum class Kind { BeginLeg, EndLeg, Write };
    Kind kind;
    /// The leg's name for BeginLeg; empty otherwise.
    std::string legName;
    /// The point's key and coordinates as they were when written.
    double time = 0.0;
    std::size_t returnNumber = 0;
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

/// A writer that records every call and can be told to fail its n-th write (counting from 1).
class RecordingPointCloudWriter final : public FileIoInterface::Outputs::PointCloud::PointCloudWriter {
public:
    explicit RecordingPointCloudWriter(std::optional<std::size_t> failingWrite = std::nullopt);

    void beginLeg(const FileIoInterface::LegInformation& leg) override;
    void endLeg() override;
    Utils::ErrorManagement::ReturnStatus write(const FileIoInterface::InputOutputPoint& point) override;

    const std::vector<WriterEvent>& events() const { return mEvents; }
    /// The events in a compact form: "begin:<leg>", "end", "write:<time>/<return>".
    std::vector<std::string> trace() const;
    std::size_t writes() const { return mWrites; }

    /// The message of the failed status.
    static const char* const FAILURE_MESSAGE;

private:
    std::optional<std::size_t> mFailingWrite;
    std::size_t mWrites = 0;
    std::vector<WriterEvent> mEvents;
};

} // namespace Orvid::Testing
