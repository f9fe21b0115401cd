#pragma once

#include <FileIoInterface/AttributeDescriptor.h>
#include <FileIoInterface/Las/LasExport.h>
#include <FileIoInterface/Las/LasVlr.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace Orvid::FileIoInterface::Las {

/// Three values, one per axis.
struct Xyz {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

/// The bits of the header's global encoding, as LAS defines them.
namespace GlobalEncoding {
/// GPS times are adjusted standard GPS time rather than GPS week time.
constexpr std::uint16_t ADJUSTED_STANDARD_GPS_TIME = 0x01;
/// Waveform packets are stored inside the file, or in a file beside it.
constexpr std::uint16_t WAVEFORM_INTERNAL = 0x02;
constexpr std::uint16_t WAVEFORM_EXTERNAL = 0x04;
/// Return numbers were generated rather than recorded (LAS 1.3 on).
constexpr std::uint16_t SYNTHETIC_RETURN_NUMBERS = 0x08;
/// The coordinate system is the WKT one (LAS 1.4).
constexpr std::uint16_t WKT = 0x10;
} // namespace GlobalEncoding

/// The LAZ description record of a compressed file, as stored: the compressor, chunk size and items
/// that the file's chunks are decoded with.
struct LasLazDescriptionRecord {
    /// Its index among all the VLRs of the file, itself counted, and the byte offset of its header.
    std::uint32_t vlrIndex = 0;
    std::uint64_t byteOffset = 0;
    std::vector<std::uint8_t> payload;
};

/// What a LAS file's header block and variable-length records say, in meaning-level form: counts
/// resolved across the legacy and 64-bit fields, strings cut at their first NUL, the extra-bytes
/// record turned into descriptors, and what the file says that a reader may doubt as `warnings`.
struct FILEIOINTERFACE_LAS_EXPORT LasHeader {
    std::uint8_t versionMajor = 1;
    std::uint8_t versionMinor = 4;
    /// 0 when not assigned; otherwise the flight line or source id.
    std::uint16_t fileSourceId = 0;
    /// Bit 0: adjusted standard GPS time (else GPS week time); bit 4: coordinate system in WKT.
    std::uint16_t globalEncoding = 0;
    /// The project GUID's 16 bytes as stored.
    std::array<std::uint8_t, 16> projectId{};
    std::string systemIdentifier;
    std::string generatingSoftware;
    std::uint16_t creationDayOfYear = 0;
    std::uint16_t creationYear = 0;
    /// Size of the header block as stored, in bytes; the records start there.
    std::uint16_t headerSize = 0;
    /// Byte offset of the first point record.
    std::uint32_t offsetToPointData = 0;
    /// Point data record format, 0 to 10.
    std::uint8_t pointFormat = 0;
    /// The point data record format byte as stored (byte 104): `pointFormat` with the compression bits,
    /// bit 7 of LAZ files and bit 6 that some LAZ writers also set.
    std::uint8_t storedPointFormat = 0;
    /// Whether the points are LAZ-compressed (bit 7 of the stored format byte); the LAZ description
    /// record is then not among `vlrs` but in `lazDescription`.
    bool compressed = false;
    /// Bytes per point record: the format's standard length plus the extra bytes.
    std::uint16_t pointRecordLength = 0;
    /// Number of point records: the 64-bit count in LAS 1.4 (the legacy 32-bit one only when the
    /// 64-bit count is zero), the 32-bit count before.
    std::uint64_t pointCount = 0;
    /// Points by return number 1 to 15 (1 to 5 before LAS 1.4), taken from the same fields as
    /// `pointCount`.
    std::array<std::uint64_t, 15> pointsByReturn{};
    /// The legacy 32-bit point count and counts by return 1 to 5 as stored (LAS 1.4 keeps them for older
    /// readers and requires them to be zero for point formats 6 to 10).
    std::uint32_t legacyPointCount = 0;
    std::array<std::uint32_t, 5> legacyPointsByReturn{};
    /// Real coordinate = stored integer x scale + offset, per axis.
    Xyz scale;
    Xyz offset;
    /// Bounds of the real coordinates, as the header states them.
    Xyz min;
    Xyz max;
    /// The variable-length records before the points, in file order.
    std::vector<LasVlr> vlrs;
    /// The extended variable-length records after the points (LAS 1.4), in file order. A waveform data
    /// packet record keeps an empty payload: its bytes are the points' waveforms, not metadata.
    std::vector<LasVlr> evlrs;
    /// When `compressed`: the file's (first) LAZ description record, if it has one; its chunks are
    /// decoded as it describes.
    std::optional<LasLazDescriptionRecord> lazDescription;
    /// The extra bytes of each record as attribute descriptors, in record order, covering exactly
    /// `pointRecordLength - standardRecordLength()` bytes: data types 1 to 10 as described, each element
    /// of a deprecated array type as its own descriptor "name[k]", and every undocumented byte (data
    /// type 0, or not described at all, or an extra-bytes record that describes more bytes than there
    /// are) as a descriptor of data type `None` whose value is one unsigned byte.
    std::vector<Attribute::Descriptor> extraAttributes;
    /// Size of the file in bytes.
    std::uint64_t fileSize = 0;
    /// Byte offset where the point data ends, compressed or not: the start of the first record that
    /// follows the points (the waveform data of LAS 1.3 and 1.4 when it is in the file, as byte 227 states;
    /// the extended VLRs of LAS 1.4) or else the end of the file.
    std::uint64_t pointDataEnd = 0;
    /// Whole records of `pointRecordLength` bytes from `offsetToPointData` to `pointDataEnd`; at least
    /// `pointCount`.
    std::uint64_t recordsInPointData = 0;
    /// What the file says that does not add up but still lets it be read, each a complete sentence
    /// without the file's path, in the order found: a LAS 1.4 legacy count that differs from the 64-bit
    /// one, point data holding more whole records than the header announces. A caller may print them
    /// or treat them as errors.
    std::vector<std::string> warnings;

    bool hasGpsTime() const;
    bool hasColor() const;
    bool hasNir() const;
    bool hasWavePacket() const;
    /// Whether GPS times are adjusted standard GPS time (global encoding bit 0) rather than week time.
    bool hasAdjustedStandardGpsTime() const {
        return (globalEncoding & GlobalEncoding::ADJUSTED_STANDARD_GPS_TIME) != 0;
    }
    /// Whether the coordinate system is the WKT one (global encoding bit 4, which only LAS 1.4 defines).
    bool declaresWktCoordinateSystem() const {
        return versionMinor >= 4 && (globalEncoding & GlobalEncoding::WKT) != 0;
    }
    /// The record length that `pointFormat` defines, without extra bytes.
    std::uint16_t standardRecordLength() const;
    /// Bytes that the `pointCount` records take uncompressed, or the largest 64-bit count when the
    /// header announces more than that, so that a plan made from it can never run short.
    std::uint64_t decodedRecordBytes() const;
    /// "LAS <major>.<minor>, point format <n>".
    std::string describe() const;
};

/// Reads and checks the header block and the variable-length records of the LAS file at `path`.
/// Throws Core::IOException, with a message that starts with the path and names the field and its
/// byte offset, when the file cannot be read or is not a LAS file this plug-in reads: not a regular
/// file (refused before it is opened), wrong signature, version other than 1.0 to 1.4, point format
/// above 10, truncated header, records running past the point data, a record length shorter than the
/// format's, more points announced than an uncompressed file's point data holds, waveform data or
/// extended VLRs that start outside the file or run past its end, a scale factor that is not a
/// positive number from 1e-12 to 1e6, a non-finite offset. Doubtful but readable facts become
/// `LasHeader::warnings`. LAZ files are read too; their chunks are checked when their points are read.
FILEIOINTERFACE_LAS_EXPORT LasHeader readLasHeader(const std::filesystem::path& path);

} // namespace Orvid::FileIoInterface::Las
