#include <FileIoInterface/Las/LasCoordinateSystemRecords.h>

#include <algorithm>

namespace Orvid::FileIoInterface::Las {

namespace {

constexpr const char* PROJECTION_USER_ID = "LASF_Projection";
constexpr std::uint16_t GEO_KEY_DIRECTORY = 34735;
constexpr std::uint16_t GEO_DOUBLE_PARAMS = 34736;
constexpr std::uint16_t GEO_ASCII_PARAMS = 34737;
constexpr std::uint16_t COORDINATE_SYSTEM_WKT = 2112;

void keepFirst(std::optional<LasLocatedRecord>& slot, const LasVlr& vlr, bool extended) {
    if (!slot) {
        slot = LasLocatedRecord{vlr, extended};
    }
}

void collect(LasCoordinateSystemRecords& records, const std::vector<LasVlr>& vlrs, bool extended) {
    for (const LasVlr& vlr : vlrs) {
        if (vlr.userId != PROJECTION_USER_ID) {
            continue;
        }
        switch (vlr.recordId) {
        case GEO_KEY_DIRECTORY:
            keepFirst(records.geoKeyDirectory, vlr, extended);
            break;
        case GEO_DOUBLE_PARAMS:
            keepFirst(records.geoDoubleParams, vlr, extended);
            break;
        case GEO_ASCII_PARAMS:
            keepFirst(records.geoAsciiParams, vlr, extended);
            break;
        case COORDINATE_SYSTEM_WKT:
            keepFirst(records.wkt, vlr, extended);
            break;
        default:
            break;
        }
    }
}

} // namespace

std::string LasCoordinateSystemRecords::wktText() const {
    if (!wkt) {
        return {};
    }
    const auto& payload = wkt->record.payload;
    const auto end = std::find(payload.begin(), payload.end(), std::uint8_t{0});
    return {payload.begin(), end};
}

LasCoordinateSystemRecords coordinateSystemRecordsOf(const LasHeader& header) {
    LasCoordinateSystemRecords records;
    collect(records, header.vlrs, false);
    collect(records, header.evlrs, true);
    records.wktBitSet = header.declaresWktCoordinateSystem();
    return records;
}

} // namespace Orvid::FileIoInterface::Las
