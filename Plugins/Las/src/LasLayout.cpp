#include <FileIoInterface/Las/LasLayout.h>

#include "ExtraBytesLayout.h"
#include "Laz/LazDescription.h"
#include "LegFileName.h"
#include "Raw/PointFormat.h"
#include "Raw/RawHeader.h"
#include "Raw/RawVlr.h"

#include <FileIoInterface/Las/LasPoint.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace Orvid::FileIoInterface::Las {

namespace {

std::uint16_t headerSizeOf(std::uint8_t versionMinor) {
    return static_cast<std::uint16_t>(
        versionMinor >= 4 ? Raw::HEADER_SIZE_1_4
                          : (versionMinor == 3 ? Raw::HEADER_SIZE_1_3 : Raw::HEADER_SIZE_1_0));
}

double kilometreOf(double coordinate) {
    return std::isfinite(coordinate) ? std::round(coordinate / 1000.0) * 1000.0 : 0.0;
}

// RGB when the point was read from a format with RGB (or, made in memory, is not black), NIR likewise;
// GPS time always in LAS 1.4, otherwise when the source format has it.
std::uint8_t formatFor(std::uint8_t versionMinor, const InputOutputPoint* firstPoint) {
    bool color = false;
    bool nir = false;
    bool time = true;
    const auto* lasPoint = dynamic_cast<const LasPoint*>(firstPoint);
    if (lasPoint != nullptr && lasPoint->getSourcePointFormat() &&
        *lasPoint->getSourcePointFormat() <= Raw::MAX_POINT_FORMAT) {
        const Raw::PointFormat& from = Raw::POINT_FORMATS[*lasPoint->getSourcePointFormat()];
        color = from.rgb != 0;
        nir = from.nir != 0;
        time = from.gpsTime != 0;
    } else if (firstPoint != nullptr) {
        color = firstPoint->getColor() != ColorRGB::DEFAULT;
        nir = lasPoint != nullptr && lasPoint->getNir() != 0;
    }
    if (versionMinor >= 4) {
        return nir ? 8 : (color ? 7 : 6);
    }
    return time ? (color ? 3 : 1) : (color ? 2 : 0);
}

bool fitsAVlr(const LasVlr& vlr) {
    return vlr.payload.size() <= std::numeric_limits<std::uint16_t>::max();
}

// WKT for a LAS 1.4 file that can carry a WKT record, when its format is one of 6 to 10 (which declare
// WKT), its source declared WKT, or WKT is all the source has; GeoTIFF keys otherwise.
bool declaresWkt(std::uint8_t versionMinor, std::uint8_t pointFormat, const LasCarriedFields& carried) {
    const auto& records = carried.coordinateSystemRecords;
    const bool wkt = std::any_of(records.begin(), records.end(),
                                 [](const LasVlr& vlr) { return isWktRecord(vlr) && fitsAVlr(vlr); });
    const bool geoTiff = std::any_of(records.begin(), records.end(), isGeoTiffRecord);
    return versionMinor >= 4 && wkt && (pointFormat >= 6 || carried.wktCoordinateSystem || !geoTiff);
}

// Why a file written as `layout` has none of the coordinate-system records `carried`.
std::string whyNoCoordinateSystem(const LasLayout& layout, const LasCarriedFields& carried) {
    if (layout.versionMinor < 4) {
        return "LAS 1." + std::to_string(layout.versionMinor) + " holds no WKT";
    }
    for (const LasVlr& vlr : carried.coordinateSystemRecords) {
        if (!fitsAVlr(vlr)) {
            return "its " + std::to_string(vlr.payload.size()) +
                   "-byte WKT is more than a variable-length record holds";
        }
    }
    return "its records do not fit before the points";
}

// Adds to `layout.vlrs` the records of `carried` of the kind the file declares, and sets the WKT bit
// only when a WKT record is among them; `offsetToPointData` grows by what is added, leaving room for
// `reserved` bytes of records that follow them.
void placeCoordinateSystem(const LasCarriedFields& carried, LasLayout& layout,
                           std::uint64_t& offsetToPointData, std::uint64_t reserved) {
    const bool wkt = declaresWkt(layout.versionMinor, layout.pointFormat, carried);
    std::size_t written = 0;
    for (const LasVlr& vlr : carried.coordinateSystemRecords) {
        const std::uint64_t size = Raw::RawVlrHeader::SIZE + vlr.payload.size();
        // The points must stay within a 32-bit offset.
        if ((wkt ? isWktRecord(vlr) : isGeoTiffRecord(vlr)) && fitsAVlr(vlr) &&
            offsetToPointData + size + reserved <= std::numeric_limits<std::uint32_t>::max()) {
            layout.vlrs.push_back(vlr);
            offsetToPointData += size;
            ++written;
        } else {
            ++layout.coordinateSystemRecordsLeftOut;
        }
    }
    if (wkt && written != 0) {
        layout.globalEncoding = static_cast<std::uint16_t>(layout.globalEncoding | GlobalEncoding::WKT);
    }
    if (written == 0 && !carried.coordinateSystemRecords.empty()) {
        layout.coordinateSystemLost = whyNoCoordinateSystem(layout, carried);
    }
}

} // namespace

LasLayout planLasLayout(const LasWriterOptions& options, const LasCarriedFields* carried,
                        const LegInformation& leg, const InputOutputPoint* firstPoint) {
    LasLayout layout;
    const std::uint8_t minor = options.versionMinor;
    layout.versionMinor = minor;
    layout.pointFormat = options.pointFormat ? *options.pointFormat : formatFor(minor, firstPoint);

    if (options.scaleOffset) {
        layout.scaleOffset = *options.scaleOffset;
    } else if (carried != nullptr) {
        layout.scaleOffset = carried->scaleOffset;
    } else if (firstPoint != nullptr) {
        layout.scaleOffset.offset = {kilometreOf(firstPoint->getX()), kilometreOf(firstPoint->getY()),
                                     kilometreOf(firstPoint->getZ())};
    }

    const bool adjusted =
        options.adjustedStandardGpsTime.value_or(carried != nullptr && carried->adjustedStandardGpsTime);
    const bool synthetic = minor >= 3 && carried != nullptr && carried->syntheticReturnNumbers;
    layout.globalEncoding =
        static_cast<std::uint16_t>((adjusted ? GlobalEncoding::ADJUSTED_STANDARD_GPS_TIME : 0) |
                                   (synthetic ? GlobalEncoding::SYNTHETIC_RETURN_NUMBERS : 0));
    if (carried != nullptr) {
        layout.fileSourceId = carried->fileSourceId;
        layout.projectId = carried->projectId;
    }
    // The library's default identifiers stand for "none given": write them blank, as they were read.
    layout.systemIdentifier = leg.lidarId == LegInformation::DEFAULT_LIDAR_ID ? "" : leg.lidarId;
    layout.generatingSoftware = leg.softwareId == LegInformation::DEFAULT_SOFTWARE_ID ? "" : leg.softwareId;

    const ExtraBytesLayout extraBytes(leg.attributes, leg.name);
    layout.pointRecordLength =
        static_cast<std::uint16_t>(Raw::POINT_FORMATS[layout.pointFormat].standardLength + extraBytes.size());
    layout.headerSize = headerSizeOf(minor);
    std::uint64_t offsetToPointData = layout.headerSize;
    if (extraBytes.fieldCount() != 0) {
        layout.vlrs.push_back(
            LasVlr{"LASF_Spec", 4, "Extra bytes", extraBytesRecordFromDescriptors(leg.attributes)});
        offsetToPointData += Raw::RawVlrHeader::SIZE + layout.vlrs.back().payload.size();
    }
    std::optional<LasVlr> lazRecord;
    layout.compression = compressionFor(options, leg);
    if (layout.compression == LasCompression::Laz) {
        const Laz::LazDescription description = Laz::LazDescription::forRecords(
            layout.pointFormat, static_cast<std::uint16_t>(extraBytes.size()), options.lazChunkPoints);
        lazRecord = LasVlr{Laz::LazDescription::USER_ID, Laz::LazDescription::RECORD_ID, "laz compression",
                           description.encode()};
    }
    const std::uint64_t lazRecordSize = lazRecord ? Raw::RawVlrHeader::SIZE + lazRecord->payload.size() : 0;
    if (options.copyCoordinateSystem && carried != nullptr) {
        placeCoordinateSystem(*carried, layout, offsetToPointData, lazRecordSize);
    }
    if (lazRecord) {
        layout.vlrs.push_back(*lazRecord);
        offsetToPointData += lazRecordSize;
    }
    layout.offsetToPointData = static_cast<std::uint32_t>(offsetToPointData);
    return layout;
}

} // namespace Orvid::FileIoInterface::Las
