#pragma once

#include <FileIoInterface/Las/LasExport.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Orvid::FileIoInterface::Las {

/// A variable-length record of a LAS header: identified by its user id and record id.
struct LasVlr {
    /// At most 16 characters, e.g. "LASF_Projection".
    std::string userId;
    std::uint16_t recordId = 0;
    /// At most 32 characters.
    std::string description;
    /// At most 65 535 bytes in a VLR; an extended VLR's may be longer.
    std::vector<std::uint8_t> payload;
};

/// Whether `vlr` describes the extra bytes of the point records ("LASF_Spec" 4).
FILEIOINTERFACE_LAS_EXPORT bool isExtraBytesRecord(const LasVlr& vlr);

/// Whether `vlr` holds waveform data packets ("LASF_Spec" 65535).
FILEIOINTERFACE_LAS_EXPORT bool isWaveformDataRecord(const LasVlr& vlr);

} // namespace Orvid::FileIoInterface::Las
