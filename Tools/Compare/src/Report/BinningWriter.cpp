#include "src/Report/BinningWriter.h"

namespace Orvid::Compare {

void BinningWriter::beginLeg(const FileIoInterface::LegInformation& leg) {
    if (mNext != nullptr) {
        mNext->beginLeg(leg);
    }
}

void BinningWriter::endLeg() {
    if (mNext != nullptr) {
        mNext->endLeg();
    }
}

Utils::ErrorManagement::ReturnStatus BinningWriter::write(const FileIoInterface::InputOutputPoint& point) {
    mGrid.add(point.getX(), point.getY());
    if (mNext != nullptr) {
        return mNext->write(point);
    }
    return Utils::ErrorManagement::ReturnStatus::success();
}

} // namespace Orvid::Compare
