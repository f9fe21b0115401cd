#include <FileIoInterface/Readers/EventOutput/EoLlhUasMaster.h>
#include <FileIoInterface/Readers/EventOutput/EoXyzPix4d.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <utility>

namespace {

using Orvid::FileIoInterface::Readers::EventOutput::EoLlhUasMaster;
using Orvid::FileIoInterface::Readers::EventOutput::EoXyzPix4d;

bool isSignalingNaN(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits == 0x7FF0000000000001;
}

TEST(EventOutputRecords, DefaultToSignalingNaNAndMoveOnlyTheText) {
    EoLlhUasMaster llh;
    EXPECT_TRUE(llh.imageName.empty());
    for (double field : {llh.latitude, llh.longitude, llh.omega, llh.phi, llh.kappa}) {
        EXPECT_TRUE(isSignalingNaN(field));
    }
    llh.imageName = "IMG_1";
    llh.kappaStdDev = 0.25;
    EoLlhUasMaster llhCopy(llh);
    const EoLlhUasMaster llhMoved(std::move(llh));
    EXPECT_TRUE(llh.imageName.empty());
    EXPECT_EQ(llh.kappaStdDev, 0.25);
    EXPECT_EQ(llhMoved.imageName + std::to_string(llhMoved.kappaStdDev), "IMG_10.250000");
    EXPECT_TRUE(isSignalingNaN(llhMoved.latitude) && isSignalingNaN(llhCopy.kappa));
    llh = std::move(llhCopy);
    EXPECT_EQ(llh.imageName, "IMG_1");
    EXPECT_TRUE(llhCopy.imageName.empty());

    EoXyzPix4d xyz;
    EXPECT_TRUE(xyz.imageName.empty());
    EXPECT_TRUE(isSignalingNaN(xyz.omega) && isSignalingNaN(xyz.phi) && isSignalingNaN(xyz.kappa));
    xyz.imageName = "IMG_2";
    xyz.verticalAccuracy = 0.1;
    EoXyzPix4d& alias = xyz;
    xyz = alias;
    EoXyzPix4d xyzMoved(std::move(xyz));
    EXPECT_TRUE(xyz.imageName.empty());
    EXPECT_EQ(xyz.verticalAccuracy, 0.1);
    xyz = std::move(xyzMoved);
    EXPECT_EQ(xyz.imageName, "IMG_2");
    EXPECT_TRUE(xyzMoved.imageName.empty());
    EXPECT_TRUE(isSignalingNaN(xyz.kappa) && isSignalingNaN(xyzMoved.kappa));
}

} // namespace
