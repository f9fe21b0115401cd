#pragma once

#include <FileIoInterface/FileIoInterfaceExport.h>

#include <string>

namespace Orvid::FileIoInterface::Readers::EventOutput {

/// One event of an event-output file with geographic positions (latitude, longitude, height) and
/// angles. A default record holds the signaling NaN 0x7FF0000000000001 in its position and angle
/// fields (height excepted) and 0.0 in the others; units are those of the file.
struct FILEIOINTERFACE_EXPORT EoLlhUasMaster {
    std::string imageName;
    double latitude;
    double longitude;
    double height = 0.0;
    double omega;
    double phi;
    double kappa;
    double latitudeStdDev = 0.0;
    double longitudeStdDev = 0.0;
    double heightStdDev = 0.0;
    double omegaStdDev = 0.0;
    double phiStdDev = 0.0;
    double kappaStdDev = 0.0;

    EoLlhUasMaster();
    EoLlhUasMaster(const EoLlhUasMaster& other);
    /// Takes the image name, leaving the source's empty, and copies the other fields.
    EoLlhUasMaster(EoLlhUasMaster&& other) noexcept;
    EoLlhUasMaster& operator=(const EoLlhUasMaster& other);
    EoLlhUasMaster& operator=(EoLlhUasMaster&& other) noexcept;
    ~EoLlhUasMaster();
};

} // namespace Orvid::FileIoInterface::Readers::EventOutput
