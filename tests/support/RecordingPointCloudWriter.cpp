#include "RecordingPointCloudWriter.h"

#include <sstream>
#include <utility>

namespace Orvid::Testing {

const char* const RecordingPointCloudWriter::FAILURE_MESSAGE = "disk full";

RecordingPointCloudWriter::RecordingPointCloudWriter(std::optional<std::size_t> failingWrite)
    : mFailingWrite(failingWrite) {}

RecordingPointCloudWriter::RecordingPointCloudWriter(std::vector<std::string>& trace, std::string name)
    : mTrace(&trace)
    , mName(std::move(name)) {}

void RecordingPointCloudWriter::beginLeg(const FileIoInterface::LegInformation& leg) {
    mTrace->push_back(mName + "begin:" + leg.name);
}

void RecordingPointCloudWriter::endLeg() {
    mTrace->push_back(mName + "end");
}

Utils::ErrorManagement::ReturnStatus
RecordingPointCloudWriter::write(const FileIoInterface::InputOutputPoint& point) {
    ++mWrites;
    if (mFailingWrite && *mFailingWrite == mWrites) {
        return Utils::ErrorManagement::ReturnStatus::failure(FAILURE_MESSAGE);
    }
    std::ostringstream line;
    line << mName << "write:" << point.getTime() << '/' << point.getReturnNumber() << ' ' << point.getX()
         << ' ' << point.getY() << ' ' << point.getZ();
    mTrace->push_back(line.str());
    return Utils::ErrorManagement::ReturnStatus::success();
}

} // namespace Orvid::Testing
