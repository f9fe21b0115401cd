#pragma once

#include <FileIoInterface/Las/LasExport.h>
#include <FileIoInterface/Las/LasHeader.h>
#include <FileIoInterface/Las/LasVlr.h>

#include <array>
#include <cstdint>
#include <vector>

namespace Orvid::FileIoInterface::Las {

/// Scale factors and offsets of the stored coordinates: real = stored x scale + offset, per axis.
struct LasScaleOffset {
    Xyz scale{0.001, 0.001, 0.001};
    Xyz offset;
};

/// The header facts of a source LAS file that a file written from its points carries over, given to
/// the writer by its caller: the writer never opens a source itself, so what it writes depends only on
/// its arguments.
struct LasCarriedFields {
    LasScaleOffset scaleOffset;
    /// GPS times are adjusted standard GPS time (global encoding bit 0), else GPS week time.
    bool adjustedStandardGpsTime = false;
    /// Return numbers were made up, e.g. for merged first and last returns (bit 3; LAS 1.3 and later).
    bool syntheticReturnNumbers = false;
    /// The source declared its coordinate system in WKT (bit 4; LAS 1.4).
    bool wktCoordinateSystem = false;
    /// 0 when not assigned; otherwise the flight line or source id.
    std::uint16_t fileSourceId = 0;
    /// The project GUID's 16 bytes as stored.
    std::array<std::uint8_t, 16> projectId{};
    /// The coordinate-system records, wherever the source keeps them (VLRs or extended VLRs): the
    /// "LASF_Projection" GeoTIFF keys (34735 to 34737), then the WKT (2112); see
    /// `coordinateSystemRecordsOf`.
    std::vector<LasVlr> coordinateSystemRecords;
};

/// The fields of `header` that a written file carries over.
FILEIOINTERFACE_LAS_EXPORT LasCarriedFields carriedFieldsOf(const LasHeader& header);

/// Whether `vlr` is a GeoTIFF coordinate-system record ("LASF_Projection" 34735 to 34737).
FILEIOINTERFACE_LAS_EXPORT bool isGeoTiffRecord(const LasVlr& vlr);
/// Whether `vlr` is a WKT coordinate-system record ("LASF_Projection" 2111 or 2112).
FILEIOINTERFACE_LAS_EXPORT bool isWktRecord(const LasVlr& vlr);

} // namespace Orvid::FileIoInterface::Las
