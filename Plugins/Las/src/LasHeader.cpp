#include <FileIoInterface/Las/LasHeader.h>

#include "ExtraBytesLayout.h"
#include "HeaderReader.h"
#include "InputFile.h"
#include "Laz/LazDescription.h"
#include "Raw/ByteCursor.h"
#include "Raw/PointFormat.h"
#include "Raw/RawHeader.h"
#include "Raw/RawVlr.h"

#include <Core/IOException.h>
#include <Utils/CoreAssert.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <iomanip>
#include <limits>
#include <sstream>

namespace Orvid::FileIoInterface::Las {

namespace {

constexpr double SMALLEST_SCALE = 1e-12;
constexpr double LARGEST_SCALE = 1e6;

std::string printable(const std::array<char, 4>& signature) {
    std::ostringstream text;
    for (const char character : signature) {
        const auto byte = static_cast<unsigned char>(character);
        if (byte >= 0x20 && byte < 0x7F) {
            text << character;
        } else {
            text << "\\x" << std::hex << std::setw(2) << std::setfill('0') << static_cast<unsigned>(byte)
                 << std::dec;
        }
    }
    return text.str();
}

std::string number(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

const Raw::PointFormat& formatOf(std::uint8_t number) {
    CORE_ASSERT( number <= Raw::MAX_POINT_FORMAT );
    return Raw::POINT_FORMATS[number <= Raw::MAX_POINT_FORMAT ? number : 0];
}

Xyz xyz(const std::array<double, 3>& values) {
    return {values[0], values[1], values[2]};
}

void checkTransform(const InputFile& file, const Raw::RawHeader& raw) {
    static const char* const AXES[] = {"X", "Y", "Z"};
    for (std::size_t axis = 0; axis < 3; ++axis) {
        const double scale = raw.scale[axis];
        if (!(scale >= SMALLEST_SCALE && scale <= LARGEST_SCALE)) {
            throw Core::IOException(file.message(std::string(AXES[axis]) + " scale factor " + number(scale) +
                                                 " (byte " + std::to_string(Raw::OFFSET_SCALE + 8 * axis) +
                                                 ") is not a positive number from 1e-12 to 1e6"));
        }
        const double offset = raw.offset[axis];
        if (!std::isfinite(offset)) {
            throw Core::IOException(file.message(std::string(AXES[axis]) + " offset " + number(offset) +
                                                 " (byte " + std::to_string(Raw::OFFSET_OFFSET + 8 * axis) +
                                                 ") is not finite"));
        }
    }
}

// Reads the VLRs into `header.vlrs`; a compressed file's LAZ description record goes to
// `header.lazDescription` instead.
void readVlrs(InputFile& file, const Raw::RawHeader& raw, LasHeader& header) {
    std::uint64_t position = raw.headerSize;
    const std::uint64_t end = raw.offsetToPointData;
    for (std::uint32_t index = 0; index < raw.numberOfVlrs; ++index) {
        const std::string where = "VLR " + std::to_string(index) + " at byte " + std::to_string(position);
        if (position + Raw::RawVlrHeader::SIZE > end) {
            throw Core::IOException(file.message(where + " runs past the offset to point data (" +
                                                 std::to_string(end) + "; " +
                                                 std::to_string(raw.numberOfVlrs) + " VLRs announced)"));
        }
        std::array<std::uint8_t, Raw::RawVlrHeader::SIZE> bytes{};
        file.seek(position);
        file.readExactly(bytes.data(), bytes.size(), "VLR header");
        const auto stored = Raw::RawVlrHeader::decode(bytes.data());
        LasVlr vlr;
        vlr.userId = Raw::textOf(stored.userId);
        vlr.recordId = stored.recordId;
        vlr.description = Raw::textOf(stored.description);
        const std::uint64_t payloadEnd = position + Raw::RawVlrHeader::SIZE + stored.recordLengthAfterHeader;
        if (payloadEnd > end) {
            throw Core::IOException(
                file.message(where + " ('" + vlr.userId + "' " + std::to_string(vlr.recordId) + ", 54 + " +
                             std::to_string(stored.recordLengthAfterHeader) +
                             " bytes) runs past the offset to point data (" + std::to_string(end) + ")"));
        }
        vlr.payload.resize(stored.recordLengthAfterHeader);
        file.readExactly(vlr.payload.data(), vlr.payload.size(), "VLR payload");
        const bool lazDescription =
            vlr.userId == Laz::LazDescription::USER_ID && vlr.recordId == Laz::LazDescription::RECORD_ID;
        if (header.compressed && lazDescription) {
            if (!header.lazDescription) {
                header.lazDescription = LasLazDescriptionRecord{index, position, std::move(vlr.payload)};
            }
        } else {
            header.vlrs.push_back(std::move(vlr));
        }
        position = payloadEnd;
    }
}

template <typename Count, std::size_t N>
std::string listOf(const std::array<Count, N>& counts, std::size_t size) {
    std::string text;
    for (std::size_t index = 0; index < size && index < N; ++index) {
        text += (index == 0 ? "" : " ") + std::to_string(counts[index]);
    }
    return text;
}

// LAS 1.4 keeps the 32-bit counts only for older readers and defines the 64-bit ones as the truth; a
// 1.4 file whose 64-bit count is zero but whose legacy count is not was written by a tool that filled
// only the legacy fields, and its points are still there.
void resolveCounts(const Raw::RawHeader& raw, LasHeader& header) {
    const auto& legacyByReturn = raw.legacyPointsByReturn;
    const bool legacyOnly = raw.versionMinor < 4 || (raw.pointCount == 0 && raw.legacyPointCount != 0);
    if (legacyOnly) {
        header.pointCount = raw.legacyPointCount;
        std::copy(legacyByReturn.begin(), legacyByReturn.end(), header.pointsByReturn.begin());
        if (raw.versionMinor >= 4) {
            header.warnings.push_back(
                "The 64-bit point count (byte " + std::to_string(Raw::OFFSET_POINT_COUNT) +
                ") is 0 but the legacy point count (byte " + std::to_string(Raw::OFFSET_LEGACY_POINT_COUNT) +
                ") is " + std::to_string(raw.legacyPointCount) + "; the legacy counts are used.");
        }
        return;
    }
    header.pointCount = raw.pointCount;
    header.pointsByReturn = raw.pointsByReturn;
    if (raw.legacyPointCount != 0 && raw.legacyPointCount != raw.pointCount) {
        header.warnings.push_back("The legacy point count " + std::to_string(raw.legacyPointCount) +
                                  " (byte " + std::to_string(Raw::OFFSET_LEGACY_POINT_COUNT) +
                                  ") differs from the 64-bit point count " + std::to_string(raw.pointCount) +
                                  " (byte " + std::to_string(Raw::OFFSET_POINT_COUNT) +
                                  "); the 64-bit count is used.");
    }
    const bool legacyByReturnGiven = std::any_of(legacyByReturn.begin(), legacyByReturn.end(),
                                                 [](std::uint32_t count) { return count != 0; });
    if (legacyByReturnGiven &&
        !std::equal(legacyByReturn.begin(), legacyByReturn.end(), raw.pointsByReturn.begin())) {
        header.warnings.push_back(
            "The legacy points by return " + listOf(legacyByReturn, legacyByReturn.size()) + " (byte " +
            std::to_string(Raw::OFFSET_LEGACY_POINTS_BY_RETURN) + ") differ from the 64-bit counts " +
            listOf(raw.pointsByReturn, legacyByReturn.size()) + " (byte " +
            std::to_string(Raw::OFFSET_POINTS_BY_RETURN) + "); the 64-bit counts are used.");
    }
}

// A record after the points (waveform data, extended VLRs) announced at `start` by the header field
// `field` at byte `fieldOffset`: its start must lie between the point data and the end of the file.
void checkTrailingStart(const InputFile& file, const Raw::RawHeader& raw, std::uint64_t start,
                        const char* field, std::size_t fieldOffset) {
    const std::string where =
        std::string(field) + " " + std::to_string(start) + " (byte " + std::to_string(fieldOffset) + ")";
    if (start > file.size()) {
        throw Core::IOException(file.message(where + " lies beyond the end of the file (" +
                                             std::to_string(file.size()) + " bytes)"));
    }
    if (start < raw.offsetToPointData) {
        throw Core::IOException(file.message(where + " lies before the point data (byte " +
                                             std::to_string(raw.offsetToPointData) + ")"));
    }
}

// The header of the extended record at `position`, checked to end inside the file. `where` names the
// record; `announced` ends the message about a header cut short.
Raw::RawEvlrHeader checkExtendedRecord(InputFile& file, std::uint64_t position, const std::string& where,
                                       const std::string& announced) {
    if (file.size() - position < Raw::RawEvlrHeader::SIZE) {
        throw Core::IOException(file.message(where + " runs past the end of the file (" +
                                             std::to_string(file.size()) + " bytes" + announced + ")"));
    }
    std::array<std::uint8_t, Raw::RawEvlrHeader::SIZE> bytes{};
    file.seek(position);
    file.readExactly(bytes.data(), bytes.size(), "extended VLR header");
    const auto header = Raw::RawEvlrHeader::decode(bytes.data());
    const std::uint64_t payloadStart = position + Raw::RawEvlrHeader::SIZE;
    if (header.recordLengthAfterHeader > file.size() - payloadStart) {
        throw Core::IOException(file.message(
            where + " ('" + Raw::textOf(header.userId) + "' " + std::to_string(header.recordId) + ", 60 + " +
            std::to_string(header.recordLengthAfterHeader) + " bytes) runs past the end of the file (" +
            std::to_string(file.size()) + " bytes)"));
    }
    return header;
}

// Reads the `count` extended VLRs from `start` into `header.evlrs`, each of which must end inside the
// file. Waveform data packets are points' data rather than metadata: their payload is left unread.
void readExtendedVlrs(InputFile& file, std::uint64_t start, std::uint32_t count, LasHeader& header) {
    const std::string announced = "; " + std::to_string(count) + " EVLRs announced at byte " +
                                  std::to_string(Raw::OFFSET_NUMBER_OF_EVLRS);
    std::uint64_t position = start;
    for (std::uint32_t index = 0; index < count; ++index) {
        const std::string where = "EVLR " + std::to_string(index) + " at byte " + std::to_string(position);
        const auto stored = checkExtendedRecord(file, position, where, announced);
        LasVlr evlr;
        evlr.userId = Raw::textOf(stored.userId);
        evlr.recordId = stored.recordId;
        evlr.description = Raw::textOf(stored.description);
        if (!isWaveformDataRecord(evlr)) {
            evlr.payload.resize(static_cast<std::size_t>(stored.recordLengthAfterHeader));
            file.readExactly(evlr.payload.data(), evlr.payload.size(), "EVLR payload");
        }
        header.evlrs.push_back(std::move(evlr));
        position += Raw::RawEvlrHeader::SIZE + stored.recordLengthAfterHeader;
    }
}

// Finds where the point data ends, checks the records after it, and compares the records it holds
// with the count the header announces. The point data ends at the first record after it: the waveform
// data packet record when the waveform data is in the file (its start, byte 227 of LAS 1.3 and 1.4, is
// 0 when there is none or it is in a separate file), the first extended VLR of LAS 1.4, or else the end
// of the file.
void checkPointData(InputFile& file, const Raw::RawHeader& raw, LasHeader& header) {
    std::uint64_t end = file.size();
    const char* endName = nullptr;
    if (raw.versionMinor >= 3 && raw.waveformDataStart != 0) {
        checkTrailingStart(file, raw, raw.waveformDataStart, "start of waveform data",
                           Raw::OFFSET_WAVEFORM_DATA);
        checkExtendedRecord(file, raw.waveformDataStart,
                            "waveform data record at byte " + std::to_string(raw.waveformDataStart),
                            std::string());
        end = raw.waveformDataStart;
        endName = "the waveform data";
    }
    if (raw.versionMinor >= 4 && raw.numberOfEvlrs != 0) {
        checkTrailingStart(file, raw, raw.firstEvlrStart, "start of first EVLR", Raw::OFFSET_FIRST_EVLR);
        readExtendedVlrs(file, raw.firstEvlrStart, raw.numberOfEvlrs, header);
        if (raw.firstEvlrStart < end) {
            end = raw.firstEvlrStart;
            endName = "the extended VLRs";
        }
    }
    header.pointDataEnd = end;

    const std::uint64_t pointBytes = end - raw.offsetToPointData;
    header.recordsInPointData = pointBytes / raw.pointRecordLength;
    if (header.compressed) {
        // Compressed records have no fixed length: their chunks are checked when they are read.
        return;
    }
    const std::string extent =
        std::to_string(pointBytes) + " bytes from byte " + std::to_string(raw.offsetToPointData) +
        (endName != nullptr ? " to " + std::string(endName) + " at byte " + std::to_string(end)
                            : std::string()) +
        ", " + std::to_string(raw.pointRecordLength) + " per point";
    if (header.pointCount > header.recordsInPointData) {
        throw Core::IOException(
            file.message("header announces " + std::to_string(header.pointCount) + " points but the " +
                         (endName != nullptr ? "point data" : "file") + " holds only " +
                         std::to_string(header.recordsInPointData) + " (" + extent + ")"));
    }
    if (header.recordsInPointData > header.pointCount) {
        header.warnings.push_back("The header announces " + std::to_string(header.pointCount) +
                                  (header.pointCount == 1 ? " point" : " points") +
                                  " but the point data holds " + std::to_string(header.recordsInPointData) +
                                  " whole records (" + extent + ").");
    }
}

// The header block of `file` as stored, with the stored point format byte (compression bits
// included), once its signature, version, format and sizes allow the rest of the read.
Raw::RawHeader readRawHeader(InputFile& file, std::uint64_t fileSize) {
    std::array<std::uint8_t, Raw::HEADER_SIZE_1_4> bytes{};
    const std::size_t available = file.read(bytes.data(), bytes.size());
    const Raw::RawHeader raw = Raw::decodeRawHeader(bytes.data(), available);
    if (available < raw.signature.size() || printable(raw.signature) != "LASF") {
        throw Core::IOException(
            file.message(available < raw.signature.size()
                             ? "not a LAS file (" + std::to_string(available) + " bytes)"
                             : "not a LAS file (signature '" + printable(raw.signature) + "')"));
    }
    if (available < Raw::HEADER_SIZE_1_0) {
        throw Core::IOException(file.message("truncated header (" + std::to_string(available) +
                                             " bytes, a LAS header has at least 227)"));
    }
    if (raw.versionMajor != 1 || raw.versionMinor > 4) {
        throw Core::IOException(file.message("unsupported LAS version " + std::to_string(raw.versionMajor) +
                                             "." + std::to_string(raw.versionMinor) + " (byte 24)"));
    }
    // LAZ files set bit 7 of the format byte (and some writers bit 6).
    const unsigned pointFormat = raw.pointFormat & Raw::POINT_FORMAT_NUMBER_BITS;
    if (pointFormat > Raw::MAX_POINT_FORMAT) {
        throw Core::IOException(
            file.message("unsupported point format " + std::to_string(pointFormat) + " (byte 104)"));
    }
    if (raw.headerSize < Raw::HEADER_SIZE_1_0) {
        throw Core::IOException(file.message("header size " + std::to_string(raw.headerSize) +
                                             " (byte 94) is smaller than the 227 bytes of a LAS header"));
    }
    if (raw.headerSize > fileSize) {
        throw Core::IOException(file.message("truncated header (header size " +
                                             std::to_string(raw.headerSize) + ", file has " +
                                             std::to_string(fileSize) + " bytes)"));
    }
    // A header shorter than its version's standard lacks the later fields; they read as zero.
    return Raw::decodeRawHeader(bytes.data(), raw.headerSize);
}

// Checks that the point data starts after the header and within the file, and that its records hold
// the point format's fields and a usable scale and offset.
void checkPointDataLayout(InputFile& file, const Raw::RawHeader& raw, std::uint64_t fileSize) {
    if (raw.offsetToPointData < raw.headerSize) {
        throw Core::IOException(file.message("offset to point data " + std::to_string(raw.offsetToPointData) +
                                             " (byte 96) lies inside the header (" +
                                             std::to_string(raw.headerSize) + " bytes)"));
    }
    if (raw.offsetToPointData > fileSize) {
        throw Core::IOException(file.message("offset to point data " + std::to_string(raw.offsetToPointData) +
                                             " (byte 96) lies beyond the end of the file (" +
                                             std::to_string(fileSize) + " bytes)"));
    }
    const Raw::PointFormat& format = Raw::POINT_FORMATS[raw.pointFormat];
    if (raw.pointRecordLength < format.standardLength) {
        throw Core::IOException(file.message("point record length " + std::to_string(raw.pointRecordLength) +
                                             " (byte 105) is shorter than point format " +
                                             std::to_string(raw.pointFormat) + " needs (" +
                                             std::to_string(format.standardLength) + ")"));
    }
    checkTransform(file, raw);
}

// The header fields in meaning-level form; fields that the file's version lacks are zero.
LasHeader headerFieldsOf(const Raw::RawHeader& raw) {
    LasHeader header;
    header.versionMajor = raw.versionMajor;
    header.versionMinor = raw.versionMinor;
    header.fileSourceId = raw.versionMinor >= 1 ? raw.fileSourceId : 0;
    header.globalEncoding = raw.versionMinor >= 2 ? raw.globalEncoding : 0;
    header.projectId = raw.projectId;
    header.systemIdentifier = Raw::textOf(raw.systemIdentifier);
    header.generatingSoftware = Raw::textOf(raw.generatingSoftware);
    header.creationDayOfYear = raw.creationDayOfYear;
    header.creationYear = raw.creationYear;
    header.headerSize = raw.headerSize;
    header.offsetToPointData = raw.offsetToPointData;
    header.pointFormat = raw.pointFormat;
    header.pointRecordLength = raw.pointRecordLength;
    resolveCounts(raw, header);
    header.legacyPointCount = raw.legacyPointCount;
    header.legacyPointsByReturn = raw.legacyPointsByReturn;
    header.scale = xyz(raw.scale);
    header.offset = xyz(raw.offset);
    header.max = {raw.bounds[0], raw.bounds[2], raw.bounds[4]};
    header.min = {raw.bounds[1], raw.bounds[3], raw.bounds[5]};
    return header;
}

} // namespace

LasHeader readHeader(InputFile& file) {
    const std::uint64_t fileSize = file.size();
    Raw::RawHeader raw = readRawHeader(file, fileSize);
    const std::uint8_t storedPointFormat = raw.pointFormat;
    raw.pointFormat &= Raw::POINT_FORMAT_NUMBER_BITS;
    checkPointDataLayout(file, raw, fileSize);

    LasHeader header = headerFieldsOf(raw);
    header.storedPointFormat = storedPointFormat;
    header.compressed = (storedPointFormat & Raw::POINT_FORMAT_COMPRESSED_BIT) != 0;
    header.fileSize = fileSize;
    checkPointData(file, raw, header);

    readVlrs(file, raw, header);
    const std::vector<std::uint8_t>* extraBytesRecord = nullptr;
    for (const LasVlr& vlr : header.vlrs) {
        if (isExtraBytesRecord(vlr)) {
            extraBytesRecord = &vlr.payload;
            break;
        }
    }
    const std::size_t standardLength = Raw::POINT_FORMATS[raw.pointFormat].standardLength;
    header.extraAttributes = descriptorsFromExtraBytesRecord(
        extraBytesRecord, static_cast<std::size_t>(raw.pointRecordLength - standardLength));
    return header;
}

LasHeader readLasHeader(const std::filesystem::path& path) {
    InputFile file(path);
    return readHeader(file);
}

bool LasHeader::hasGpsTime() const {
    return formatOf(pointFormat).gpsTime != 0;
}

bool LasHeader::hasColor() const {
    return formatOf(pointFormat).rgb != 0;
}

bool LasHeader::hasNir() const {
    return formatOf(pointFormat).nir != 0;
}

bool LasHeader::hasWavePacket() const {
    return formatOf(pointFormat).wavePacket != 0;
}

std::uint64_t LasHeader::decodedRecordBytes() const {
    if (pointRecordLength != 0 &&
        pointCount > std::numeric_limits<std::uint64_t>::max() / pointRecordLength) {
        return std::numeric_limits<std::uint64_t>::max();
    }
    return pointCount * pointRecordLength;
}

std::uint16_t LasHeader::standardRecordLength() const {
    return formatOf(pointFormat).standardLength;
}

std::string LasHeader::describe() const {
    return "LAS " + std::to_string(versionMajor) + "." + std::to_string(versionMinor) + ", point format " +
           std::to_string(pointFormat);
}

} // namespace Orvid::FileIoInterface::Las
