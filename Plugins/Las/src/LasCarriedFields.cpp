#include <FileIoInterface/Las/LasCarriedFields.h>

namespace Orvid::FileIoInterface::Las {

namespace {

constexpr std::uint16_t SYNTHETIC_RETURN_NUMBERS_BIT = 0x08;
constexpr std::uint16_t WKT_BIT = 0x10;

} // namespace

bool isGeoTiffRecord(const LasVlr& vlr) {
    return vlr.userId == "LASF_Projection" && vlr.recordId >= 34735 && vlr.recordId <= 34737;
}

bool isWktRecord(const LasVlr& vlr) {
    return vlr.userId == "LASF_Projection" && (vlr.recordId == 2111 || vlr.recordId == 2112);
}

LasCarriedFields carriedFieldsOf(const LasHeader& header) {
    LasCarriedFields carried;
    carried.scaleOffset = {header.scale, header.offset};
    carried.adjustedStandardGpsTime = header.hasAdjustedStandardGpsTime();
    // Bits a version does not define are reserved there: they say nothing.
    carried.syntheticReturnNumbers =
        header.versionMinor >= 3 && (header.globalEncoding & SYNTHETIC_RETURN_NUMBERS_BIT) != 0;
    carried.wktCoordinateSystem = header.versionMinor >= 4 && (header.globalEncoding & WKT_BIT) != 0;
    carried.fileSourceId = header.fileSourceId;
    carried.projectId = header.projectId;
    for (const LasVlr& vlr : header.vlrs) {
        if (isGeoTiffRecord(vlr) || isWktRecord(vlr)) {
            carried.coordinateSystemRecords.push_back(vlr);
        }
    }
    return carried;
}

} // namespace Orvid::FileIoInterface::Las
