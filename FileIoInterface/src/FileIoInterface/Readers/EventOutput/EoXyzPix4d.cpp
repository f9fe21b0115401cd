#include <FileIoInterface/Readers/EventOutput/EoXyzPix4d.h>

#include "SignalingNaN.h"

#include <utility>

namespace Orvid::FileIoInterface::Readers::EventOutput {

EoXyzPix4d::EoXyzPix4d()
    : omega(signalingNaN())
    , phi(signalingNaN())
    , kappa(signalingNaN()) {}

EoXyzPix4d::EoXyzPix4d(const EoXyzPix4d& other) = default;

EoXyzPix4d::EoXyzPix4d(EoXyzPix4d&& other) noexcept
    : imageName(std::move(other.imageName))
    , x(other.x)
    , y(other.y)
    , z(other.z)
    , omega(other.omega)
    , phi(other.phi)
    , kappa(other.kappa)
    , horizontalAccuracy(other.horizontalAccuracy)
    , verticalAccuracy(other.verticalAccuracy) {
    // The standard leaves a moved-from string in any valid state; callers rely on an empty one.
    other.imageName.clear();
}

EoXyzPix4d& EoXyzPix4d::operator=(const EoXyzPix4d& other) = default;

EoXyzPix4d& EoXyzPix4d::operator=(EoXyzPix4d&& other) noexcept {
    if (this == &other) {
        return *this;
    }
    imageName = std::move(other.imageName);
    other.imageName.clear();
    x = other.x;
    y = other.y;
    z = other.z;
    omega = other.omega;
    phi = other.phi;
    kappa = other.kappa;
    horizontalAccuracy = other.horizontalAccuracy;
    verticalAccuracy = other.verticalAccuracy;
    return *this;
}

EoXyzPix4d::~EoXyzPix4d() = default;

} // namespace Orvid::FileIoInterface::Readers::EventOutput
