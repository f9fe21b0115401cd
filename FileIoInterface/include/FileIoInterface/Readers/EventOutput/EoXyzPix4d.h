#pragma once

#include <FileIoInterface/FileIoInterfaceExport.h>

#include <string>

namespace Orvid::FileIoInterface::Readers::EventOutput {

/// One event of an event-output file with projected positions (x, y, z), angles and accuracies. A
/// default record holds the signaling NaN 0x7FF0000000000001 in its angle fields and 0.0 in the
/// others; units are those of the file.
struct FILEIOINTERFACE_EXPORT EoXyzPix4d {
    std::string imageName;
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    double omega;
    double phi;
    double kappa;
    double horizontalAccuracy = 0.0;
    double verticalAccuracy = 0.0;

    EoXyzPix4d();
    EoXyzPix4d(const EoXyzPix4d& other);
    /// Takes the image name, leaving the source's empty, and copies the other fields.
    EoXyzPix4d(EoXyzPix4d&& other) noexcept;
    EoXyzPix4d& operator=(const EoXyzPix4d& other);
    EoXyzPix4d& operator=(EoXyzPix4d&& other) noexcept;
    ~EoXyzPix4d();
};

} // namespace Orvid::FileIoInterface::Readers::EventOutput
