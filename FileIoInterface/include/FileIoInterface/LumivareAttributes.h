#pragma once

#include <FileIoInterface/AttributeDescriptor.h>
#include <FileIoInterface/FileIoInterfaceExport.h>

#include <vector>

namespace Orvid::FileIoInterface::Lumivare {

/// Descriptors of the additional attributes of every Lumivare point cloud, in this order: photo
/// index (unsigned 16-bit), range (float) and laser incident vector (unsigned 64-bit). A new vector on
/// every call; the caller owns it.
FILEIOINTERFACE_EXPORT std::vector<Attribute::Descriptor> getStandardAttributes();

/// The standard descriptors followed by the echo attributes of RIEGL scanners: amplitude and
/// reflectance (16-bit, scale 0.01, in dB) and pulse-shape deviation. A new vector on every call.
FILEIOINTERFACE_EXPORT std::vector<Attribute::Descriptor> getRieglAttributes();

} // namespace Orvid::FileIoInterface::Lumivare
