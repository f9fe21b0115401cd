#include <FileIoInterface/Las/LasCarriedFields.h>

#include <FileIoInterface/Las/LasCoordinateSystemRecords.h>

namespace Orvid::FileIoInterface::Las {

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
        header.versionMinor >= 3 && (header.globalEncoding & GlobalEncoding::SYNTHETIC_RETURN_NUMBERS) != 0;
    carried.fileSourceId = header.fileSourceId;
    carried.projectId = header.projectId;
    const LasCoordinateSystemRecords records = coordinateSystemRecordsOf(header);
    carried.wktCoordinateSystem = records.wktBitSet;
    // Found among the VLRs or the extended VLRs alike: a written file keeps them as VLRs.
    for (const std::optional<LasLocatedRecord>* found :
         {&records.geoKeyDirectory, &records.geoDoubleParams, &records.geoAsciiParams, &records.wkt}) {
        if (*found) {
            carried.coordinateSystemRecords.push_back((*found)->record);
        }
    }
    return carried;
}

} // namespace Orvid::FileIoInterface::Las
