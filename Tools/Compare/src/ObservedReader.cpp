#include "src/ObservedReader.h"

#include "Command/Interruption.h"

#include <algorithm>
#include <cmath>

namespace Orvid::Compare {

ObservedReader::ObservedReader(PointCloudReader& inner, Progress& progress, std::string label,
                               DensityGrid* density)
    : mInner(inner)
    , mProgress(progress)
    , mLabel(std::move(label))
    , mDensity(density) {
    mKeys.reserve(static_cast<std::size_t>(inner.numberOfPoints()));
}

bool ObservedReader::hasMoreLegs() {
    const bool more = mInner.hasMoreLegs();
    if (!more && mStarted) {
        mProgress.finish();
        mStarted = false;
    }
    return more;
}

FileIoInterface::LegInformation ObservedReader::nextLeg() {
    if (!mStarted && mScan.legs == 0) {
        mProgress.start(mLabel, mInner.numberOfLegs(), mInner.numberOfPoints());
        mStarted = true;
    }
    ++mScan.legs;
    mProgress.nextLeg();
    return mInner.nextLeg();
}

std::unique_ptr<FileIoInterface::InputOutputPoint> ObservedReader::nextPoint() {
    throwIfInterrupted();
    std::unique_ptr<FileIoInterface::InputOutputPoint> point = mInner.nextPoint();
    mProgress.advance();
    if (point) {
        ++mScan.points;
        const std::uint16_t sourceId = point->getSourceId();
        // Flight lines come in long runs: look the count up only when the line changes.
        if (mSourceIdCount == nullptr || sourceId != mSourceId) {
            mSourceId = sourceId;
            mSourceIdCount = &mScan.pointsBySourceId[sourceId];
        }
        ++*mSourceIdCount;
        if (mDensity != nullptr) {
            mDensity->add(point->getX(), point->getY());
        }
        const double time = point->getTime();
        if (std::isnan(time)) {
            ++mScan.nanTimes;
        } else {
            const std::pair<double, std::size_t> key{time, point->getReturnNumber()};
            mKeysSorted = mKeysSorted && (mKeys.empty() || !(key < mKeys.back()));
            mKeys.push_back(key);
        }
    }
    return point;
}

InputScan ObservedReader::finish() {
    // Inputs are usually in time order already, so sorting is mostly skipped.
    if (!mKeysSorted) {
        std::sort(mKeys.begin(), mKeys.end());
    }
    const auto unique = static_cast<std::uint64_t>(std::unique(mKeys.begin(), mKeys.end()) - mKeys.begin());
    mScan.duplicateKeys = mKeys.size() - unique;
    mKeys.clear();
    mKeys.shrink_to_fit();
    return mScan;
}

} // namespace Orvid::Compare
