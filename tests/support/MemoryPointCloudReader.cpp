#include "MemoryPointCloudReader.h"

#include <utility>

namespace Orvid::Testing {

MemoryLeg makeLeg(const std::string& name,
                  std::vector<std::unique_ptr<FileIoInterface::InputOutputPoint>> points) {
    MemoryLeg leg;
    leg.information.name = name;
    leg.points = std::move(points);
    return leg;
}

MemoryPointCloudReader::MemoryPointCloudReader(std::vector<MemoryLeg> legs)
    : mLegs(std::move(legs)) {
    for (const MemoryLeg& leg : mLegs) {
        mNumberOfPoints += leg.points.size();
    }
}

bool MemoryPointCloudReader::hasMoreLegs() {
    return mNextLeg < mLegs.size();
}

FileIoInterface::LegInformation MemoryPointCloudReader::nextLeg() {
    mNextPoint = 0;
    return mLegs.at(mNextLeg++).information;
}

bool MemoryPointCloudReader::hasMorePoints() {
    return mNextLeg > 0 && mNextPoint < mLegs[mNextLeg - 1].points.size();
}

std::unique_ptr<FileIoInterface::InputOutputPoint> MemoryPointCloudReader::nextPoint() {
    ++mCalls.nextPoint;
    if (mNextLeg == 0 || mNextPoint >= mLegs[mNextLeg - 1].points.size()) {
        mReadPastEnd = true;
        return nullptr;
    }
    return std::move(mLegs[mNextLeg - 1].points[mNextPoint++]);
}

std::size_t MemoryPointCloudReader::numberOfPointsInLeg() {
    ++mCalls.numberOfPointsInLeg;
    if (mNextLeg == 0) {
        return 0;
    }
    const MemoryLeg& leg = mLegs[mNextLeg - 1];
    return leg.announcedCount.value_or(leg.points.size());
}

} // namespace Orvid::Testing
