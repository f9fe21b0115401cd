#pragma once

#include <FileIoInterface/InputOutputPoint.h>
#include <FileIoInterface/Las/LasCarriedFields.h>
#include <FileIoInterface/Las/LasExport.h>
#include <FileIoInterface/Las/LasVlr.h>
#include <FileIoInterface/Las/LasWriterOptions.h>
#include <FileIoInterface/LegInformation.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Orvid::FileIoInterface::Las {

/// Everything about a LAS file that a `LasWriter` decides when a leg starts, before any point is
/// written: the header fields that do not depend on the points, and the records in the order written.
struct LasLayout {
    std::uint8_t versionMinor = 4;
    /// The point format of the records, without the compression bit that a LAZ header sets.
    std::uint8_t pointFormat = 6;
    /// LAZ when the options ask for it or the leg's name ends in ".laz".
    LasCompression compression = LasCompression::Las;
    /// The format's standard length plus the leg's extra bytes.
    std::uint16_t pointRecordLength = 0;
    LasScaleOffset scaleOffset;
    std::uint16_t globalEncoding = 0;
    std::uint16_t fileSourceId = 0;
    std::array<std::uint8_t, 16> projectId{};
    /// Blank when the leg has the library's default identifiers.
    std::string systemIdentifier;
    std::string generatingSoftware;
    /// The variable-length records, in file order: the extra-bytes record when the leg has extra
    /// attributes, then the carried coordinate-system records of the kind the file declares, then, in a
    /// LAZ file, the LAZ description record.
    std::vector<LasVlr> vlrs;
    /// 227, 235 or 375 bytes.
    std::uint16_t headerSize = 0;
    std::uint32_t offsetToPointData = 0;
    /// Carried coordinate-system records not written: of the other kind than the file declares, or
    /// too large to be written.
    std::size_t coordinateSystemRecordsLeftOut = 0;
    /// Why the file has no coordinate system although its source had one (its version holds no WKT,
    /// say); absent when the file keeps it or there was none to keep.
    std::optional<std::string> coordinateSystemLost;
};

/// The layout of the file that a `LasWriter` made with `options` writes for `leg`, given the fields
/// `carried` over from its source (null: none) and its first point (null: an empty leg). Explicit
/// options win over carried fields, which win over the defaults `LasWriterOptions` describes. GPS time
/// type and synthetic return numbers are declared in the global encoding where the version defines
/// them. The carried coordinate system is written as WKT, with the WKT bit, by a LAS 1.4 file whose
/// format is 6 to 10 or whose source declared WKT or had nothing else; as GeoTIFF keys otherwise. The
/// WKT bit is never set without a WKT record. Reads no file. Throws Core::IOException, naming the leg, when
/// an extra-bytes descriptor cannot be written.
FILEIOINTERFACE_LAS_EXPORT LasLayout planLasLayout(const LasWriterOptions& options,
                                                   const LasCarriedFields* carried, const LegInformation& leg,
                                                   const InputOutputPoint* firstPoint);

} // namespace Orvid::FileIoInterface::Las
