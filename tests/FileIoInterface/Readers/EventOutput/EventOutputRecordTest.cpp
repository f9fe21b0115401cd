#include <FileIoInterface/Readers/EventOutput/EoLlhUasMaster.h>
#include <FileIoInterface/Readers/EventOutput/EoXyzPix4d.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <utility>

namespace {

using Orvid::FileIoInterface::Readers::EventOutput::EoLlhUasMaster;
using Orvid::FileIoInterface::Readers::EventOutput::EoXyzPix4d;

bool isSignalingNaN(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits == 0x7FF0000000000001;
}

// `nans` default to the signaling NaN and keep its bits through copies and moves; `number` is moved too.
template <typename Record>
void expectNaNsAndMovedText(std::initializer_list<double Record::*> nans, double Record::*number) {
    Record record;
    record.imageName = "IMG";
    record.*number = 0.25;
    const Record copy(record);
    Record moved(std::move(record));
    Record assigned;
    assigned = std::move(moved);
    EXPECT_TRUE(record.imageName.empty() && moved.imageName.empty());
    EXPECT_EQ(copy.imageName + assigned.imageName, "IMGIMG");
    EXPECT_EQ(assigned.*number, 0.25);
    for (double Record::*field : nans) {
        EXPECT_TRUE(isSignalingNaN(copy.*field) && isSignalingNaN(assigned.*field));
    }
}

TEST(EventOutputRecords, DefaultToSignalingNaNAndMoveOnlyTheText) {
    expectNaNsAndMovedText<EoLlhUasMaster>({&EoLlhUasMaster::latitude, &EoLlhUasMaster::longitude,
                                            &EoLlhUasMaster::omega, &EoLlhUasMaster::phi,
                                            &EoLlhUasMaster::kappa},
                                           &EoLlhUasMaster::kappaStdDev);
    expectNaNsAndMovedText<EoXyzPix4d>({&EoXyzPix4d::omega, &EoXyzPix4d::phi, &EoXyzPix4d::kappa},
                                       &EoXyzPix4d::verticalAccuracy);
}

} // namespace
