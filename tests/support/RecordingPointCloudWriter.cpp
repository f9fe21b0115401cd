#include "RecordingPointCloudWriter.h"

#include <sstream>

namespace Orvid::Testing {

const char* const RecordingPointCloudWriter::FAILURE_MESSAGE = "disk full";

RecordingPointCloudWriter::RecordingPointCloudWriter(std::optional<std::size_t> failingWrite)
    : mFailingWrite(failingWrite) {}

void RecordingPointCloudWriter::beginLeg(const FileIoInterface::LegInformation& leg) {
    mEvents.push_back({WriterEvent::Kind::BeginLeg, leg.name});
}

void RecordingPointCloudWriter::endLeg() {
    mEvents.push_back({WriterEvent::Kind::EndLeg, {}});
}

Utils::ErrorManagement::ReturnStatus
RecordingPointCloudWriter::write(const FileIoInterface::InputOutputPoint& point) {
    ++mWrites;
    if (mFailingWrite && *mFailingWrite == mWrites) {
        return Utils::ErrorManagement::ReturnStatus::failure(FAILURE_MESSAGE);
    }
    mEvents.push_back({WriterEvent::Kind::Write,
                       {},
                       point.getTime(),
                       point.getReturnNumber(),
                       point.getX(),
                       point.getY(),
                       point.getZ()});
    return Utils::ErrorManagement::ReturnStatus::success();
}

std::vector<std::string> RecordingPointCloudWriter::trace() const {
    std::vector<std::string> lines;
    for (const WriterEvent& event : mEvents) {
        std::ostringstream line;
        switch (event.kind) {
        case WriterEvent::Kind::BeginLeg:
            line << "begin:" << event.legName;
            break;
        case WriterEvent::Kind::EndLeg:
            line << "end";
            break;
        case WriterEvent::Kind::Write:
            line << "write:" << event.time << '/' << event.returnNumber;
            break;
        }
        lines.push_back(line.str());
    }
    return lines;
}

} // namespace Orvid::Testing
