#include <FileIoInterface/Readers/EventOutput/EoLlhUasMaster.h>

#include "SignalingNaN.h"

#include <utility>

namespace Orvid::FileIoInterface::Readers::EventOutput {

EoLlhUasMaster::EoLlhUasMaster()
    : latitude(signalingNaN())
    , longitude(signalingNaN())
    , omega(signalingNaN())
    , phi(signalingNaN())
    , kappa(signalingNaN()) {}

EoLlhUasMaster::EoLlhUasMaster(const EoLlhUasMaster& other) = default;

EoLlhUasMaster::EoLlhUasMaster(EoLlhUasMaster&& other) noexcept
    : imageName(std::move(other.imageName))
    , latitude(other.latitude)
    , longitude(other.longitude)
    , height(other.height)
    , omega(other.omega)
    , phi(other.phi)
    , kappa(other.kappa)
    , latitudeStdDev(other.latitudeStdDev)
    , longitudeStdDev(other.longitudeStdDev)
    , heightStdDev(other.heightStdDev)
    , omegaStdDev(other.omegaStdDev)
    , phiStdDev(other.phiStdDev)
    , kappaStdDev(other.kappaStdDev) {
    // The standard leaves a moved-from string in any valid state; callers rely on an empty one.
    other.imageName.clear();
}

EoLlhUasMaster& EoLlhUasMaster::operator=(const EoLlhUasMaster& other) = default;

EoLlhUasMaster& EoLlhUasMaster::operator=(EoLlhUasMaster&& other) noexcept {
    if (this == &other) {
        return *this;
    }
    imageName = std::move(other.imageName);
    other.imageName.clear();
    latitude = other.latitude;
    longitude = other.longitude;
    height = other.height;
    omega = other.omega;
    phi = other.phi;
    kappa = other.kappa;
    latitudeStdDev = other.latitudeStdDev;
    longitudeStdDev = other.longitudeStdDev;
    heightStdDev = other.heightStdDev;
    omegaStdDev = other.omegaStdDev;
    phiStdDev = other.phiStdDev;
    kappaStdDev = other.kappaStdDev;
    return *this;
}

EoLlhUasMaster::~EoLlhUasMaster() = default;

} // namespace Orvid::FileIoInterface::Readers::EventOutput
