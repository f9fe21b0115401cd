#pragma once

#include <FileIoInterface/Las/LasExport.h>
#include <FileIoInterface/Las/LasHeader.h>
#include <FileIoInterface/Las/LasVlr.h>

#include <optional>
#include <string>

namespace Orvid::FileIoInterface::Las {

/// A coordinate-system record and where the file keeps it.
struct LasLocatedRecord {
    LasVlr record;
    /// Among the extended VLRs after the points, rather than the VLRs before them.
    bool extended = false;
};

/// The records in which a LAS file declares its coordinate system, the first of each kind over its VLRs
/// and then its extended VLRs. Every one may be missing.
struct FILEIOINTERFACE_LAS_EXPORT LasCoordinateSystemRecords {
    /// GeoTIFF keys: the key directory (34735), the double (34736) and ASCII (34737) parameters.
    std::optional<LasLocatedRecord> geoKeyDirectory;
    std::optional<LasLocatedRecord> geoDoubleParams;
    std::optional<LasLocatedRecord> geoAsciiParams;
    /// OGC WKT of the coordinate system (2112).
    std::optional<LasLocatedRecord> wkt;
    /// The header's global-encoding bit 4 (LAS 1.4): the coordinate system is the WKT one.
    bool wktBitSet = false;

    bool hasGeoTiff() const { return geoKeyDirectory.has_value(); }
    bool hasWkt() const { return wkt.has_value(); }
    /// The WKT's text: the payload up to its first NUL, empty without a WKT record.
    std::string wktText() const;
};

/// The coordinate-system records of the file whose header is `header`.
FILEIOINTERFACE_LAS_EXPORT LasCoordinateSystemRecords coordinateSystemRecordsOf(const LasHeader& header);

} // namespace Orvid::FileIoInterface::Las
