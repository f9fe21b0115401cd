#include <FileIoInterface/Las/LasWriter.h>

#include "ExtraBytesLayout.h"
#include "OutputFile.h"
#include "PointCodec.h"
#include "Raw/PointFormat.h"
#include "Raw/RawHeader.h"
#include "Raw/RawVlr.h"

#include <Core/IOException.h>

#include <array>
#include <cmath>
#include <ctime>
#include <limits>
#include <stdexcept>
#include <typeinfo>

namespace Orvid::FileIoInterface::Las {

using Utils::ErrorManagement::ReturnStatus;

namespace {

constexpr std::size_t BUFFER_SIZE = std::size_t{1} << 20;
constexpr std::uint16_t WKT_BIT = 0x10;
constexpr std::uint16_t ADJUSTED_GPS_TIME_BIT = 0x01;
const char* const PARTIAL_SUFFIX = ".partial";

std::size_t headerSizeOf(std::uint8_t versionMinor) {
    return versionMinor >= 4 ? Raw::HEADER_SIZE_1_4
                             : (versionMinor == 3 ? Raw::HEADER_SIZE_1_3 : Raw::HEADER_SIZE_1_0);
}

std::uint8_t maxFormatOf(std::uint8_t versionMinor) {
    return versionMinor >= 4 ? 10 : (versionMinor == 3 ? 5 : 3);
}

bool isValidScale(double scale) {
    return scale >= 1e-12 && scale <= 1e6;
}

std::optional<LasHeader> sourceHeaderOf(const LegInformation& leg) {
    if (leg.filePath.empty()) {
        return std::nullopt;
    }
    try {
        return readLasHeader(leg.filePath);
    } catch (const Core::IOException&) {
        // A leg whose source is not a readable LAS file simply has no source settings to take.
        return std::nullopt;
    }
}

bool isGeoTiffRecord(const LasVlr& vlr) {
    return vlr.userId == "LASF_Projection" && vlr.recordId >= 34735 && vlr.recordId <= 34737;
}

bool isWktRecord(const LasVlr& vlr) {
    return vlr.userId == "LASF_Projection" && (vlr.recordId == 2111 || vlr.recordId == 2112);
}

double kilometreOf(double coordinate) {
    return std::isfinite(coordinate) ? std::round(coordinate / 1000.0) * 1000.0 : 0.0;
}

} // namespace

struct LasWriter::Leg {
    LegInformation information;
    std::filesystem::path finalPath;
    std::filesystem::path partialPath;
    std::optional<LasHeader> source;
    ExtraBytesLayout extraBytes;
    std::vector<std::uint8_t> extraBytesRecord;
    OutputFile file;
    std::unique_ptr<PointCodec> codec;
    Raw::RawHeader header;
    std::vector<LasVlr> vlrs;
    std::vector<std::uint8_t> buffer;
    std::size_t used = 0;
    std::size_t recordLength = 0;
    std::uint64_t pointCount = 0;
    std::array<std::uint64_t, 15> pointsByReturn{};
    std::array<std::int32_t, 3> lowest{};
    std::array<std::int32_t, 3> highest{};
    /// Set by the first failed disk operation; every later write fails with it.
    std::string ioError;
};

LasWriter::LasWriter(std::filesystem::path folder, LasWriterOptions options)
    : mFolder(std::move(folder))
    , mOptions(options) {
    if (mOptions.versionMinor < 2 || mOptions.versionMinor > 4) {
        throw std::invalid_argument("LAS writer: version 1." + std::to_string(mOptions.versionMinor) +
                                    " is not written (1.2, 1.3 or 1.4)");
    }
    if (mOptions.pointFormat && *mOptions.pointFormat > maxFormatOf(mOptions.versionMinor)) {
        throw std::invalid_argument("LAS writer: point format " + std::to_string(*mOptions.pointFormat) +
                                    " does not exist in LAS 1." + std::to_string(mOptions.versionMinor));
    }
    if (mOptions.scaleOffset) {
        const Xyz& scale = mOptions.scaleOffset->scale;
        const Xyz& offset = mOptions.scaleOffset->offset;
        if (!isValidScale(scale.x) || !isValidScale(scale.y) || !isValidScale(scale.z) ||
            !std::isfinite(offset.x) || !std::isfinite(offset.y) || !std::isfinite(offset.z)) {
            throw std::invalid_argument("LAS writer: scales must be positive numbers from 1e-12 to 1e6 and "
                                        "offsets finite");
        }
    }
}

LasWriter::~LasWriter() {
    abandonLeg();
}

std::filesystem::path LasWriter::pathFor(const LegInformation& leg) const {
    std::string name = leg.name;
    for (char& character : name) {
        if (character == '/' || character == '\\' || static_cast<unsigned char>(character) < 0x20) {
            character = '_';
        }
    }
    if (name.empty() || name == "." || name == "..") {
        name = "leg" + std::to_string(leg.number ? *leg.number : mLegsBegun);
    }
    return mFolder / (name + ".las");
}

void LasWriter::beginLeg(const LegInformation& leg) {
    if (mLeg) {
        throw Core::IOException(mLeg->finalPath.string() + ": a new leg begins before this one has ended");
    }
    auto state = std::make_unique<Leg>();
    state->information = leg;
    state->finalPath = pathFor(leg);
    state->partialPath = state->finalPath;
    state->partialPath += PARTIAL_SUFFIX;
    ++mLegsBegun;
    state->extraBytes = ExtraBytesLayout(leg.attributes, state->finalPath.string());
    if (Raw::POINT_FORMATS[Raw::MAX_POINT_FORMAT].standardLength + state->extraBytes.size() >
        std::numeric_limits<std::uint16_t>::max()) {
        throw Core::IOException(state->finalPath.string() + ": the leg's extra attributes take " +
                                std::to_string(state->extraBytes.size()) +
                                " bytes, too many for a LAS record");
    }
    state->extraBytesRecord = extraBytesRecordFromDescriptors(leg.attributes);
    if (state->extraBytesRecord.size() > std::numeric_limits<std::uint16_t>::max()) {
        throw Core::IOException(state->finalPath.string() + ": " + std::to_string(leg.attributes.size()) +
                                " extra attributes do not fit one extra-bytes record");
    }
    state->source = sourceHeaderOf(leg);
    std::error_code error;
    std::filesystem::create_directories(mFolder, error);
    if (error) {
        throw Core::IOException(mFolder.string() + ": cannot create the output folder (" + error.message() +
                                ")");
    }
    if (!state->file.open(state->partialPath)) {
        throw Core::IOException(state->partialPath.string() + ": " + state->file.error());
    }
    mLeg = std::move(state);
}

void LasWriter::start(const InputOutputPoint* firstPoint) {
    Leg& leg = *mLeg;
    const std::uint8_t minor = mOptions.versionMinor;
    const LasHeader* source = leg.source ? &*leg.source : nullptr;

    std::uint8_t format = 0;
    if (mOptions.pointFormat) {
        format = *mOptions.pointFormat;
    } else {
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
        if (minor >= 4) {
            format = nir ? 8 : (color ? 7 : 6);
        } else {
            format = time ? (color ? 3 : 1) : (color ? 2 : 0);
        }
    }

    LasScaleOffset scaleOffset;
    if (mOptions.scaleOffset) {
        scaleOffset = *mOptions.scaleOffset;
    } else if (source != nullptr) {
        scaleOffset = {source->scale, source->offset};
    } else if (firstPoint != nullptr) {
        scaleOffset.offset = {kilometreOf(firstPoint->getX()), kilometreOf(firstPoint->getY()),
                              kilometreOf(firstPoint->getZ())};
    }

    // Coordinate system records: WKT where LAS 1.4 requires or the source used it, GeoTIFF otherwise.
    const bool wkt = minor >= 4 && (format >= 6 || (source != nullptr && (source->globalEncoding & WKT_BIT)));
    const std::size_t headerSize = headerSizeOf(minor);
    std::size_t offsetToPointData = headerSize;
    leg.vlrs.clear();
    if (leg.extraBytes.fieldCount() != 0) {
        leg.vlrs.push_back(LasVlr{"LASF_Spec", 4, "Extra bytes", leg.extraBytesRecord});
        offsetToPointData += Raw::RawVlrHeader::SIZE + leg.extraBytesRecord.size();
    }
    if (mOptions.copyCoordinateSystem && source != nullptr) {
        for (const LasVlr& vlr : source->vlrs) {
            const std::size_t size = Raw::RawVlrHeader::SIZE + vlr.payload.size();
            // Copied records are optional: one that would push the points beyond a 32-bit offset is left out.
            if ((wkt ? isWktRecord(vlr) : isGeoTiffRecord(vlr)) &&
                offsetToPointData + size <= std::numeric_limits<std::uint32_t>::max()) {
                leg.vlrs.push_back(vlr);
                offsetToPointData += size;
            }
        }
    }

    const Raw::PointFormat& pointFormat = Raw::POINT_FORMATS[format];
    leg.codec =
        std::make_unique<PointCodec>(pointFormat, scaleOffset.scale, scaleOffset.offset, leg.extraBytes);
    leg.recordLength = leg.codec->recordLength();

    Raw::RawHeader& header = leg.header;
    header.signature = {'L', 'A', 'S', 'F'};
    header.fileSourceId = source != nullptr ? source->fileSourceId : 0;
    const bool adjusted =
        mOptions.adjustedStandardGpsTime.value_or(source != nullptr && source->hasAdjustedStandardGpsTime());
    header.globalEncoding =
        static_cast<std::uint16_t>((adjusted ? ADJUSTED_GPS_TIME_BIT : 0) | (wkt ? WKT_BIT : 0));
    header.versionMajor = 1;
    header.versionMinor = minor;
    // The library's default identifiers stand for "none given": write them blank, as they were read.
    const std::string& lidarId = leg.information.lidarId;
    const std::string& softwareId = leg.information.softwareId;
    header.systemIdentifier = Raw::fieldOf<32>(lidarId == LegInformation::DEFAULT_LIDAR_ID ? "" : lidarId);
    header.generatingSoftware =
        Raw::fieldOf<32>(softwareId == LegInformation::DEFAULT_SOFTWARE_ID ? "" : softwareId);
    const std::time_t now = std::time(nullptr);
    if (const std::tm* date = std::gmtime(&now)) {
        header.creationDayOfYear = static_cast<std::uint16_t>(date->tm_yday + 1);
        header.creationYear = static_cast<std::uint16_t>(date->tm_year + 1900);
    }
    header.headerSize = static_cast<std::uint16_t>(headerSize);
    header.offsetToPointData = static_cast<std::uint32_t>(offsetToPointData);
    header.numberOfVlrs = static_cast<std::uint32_t>(leg.vlrs.size());
    header.pointFormat = format;
    header.pointRecordLength = static_cast<std::uint16_t>(leg.recordLength);
    header.scale = {scaleOffset.scale.x, scaleOffset.scale.y, scaleOffset.scale.z};
    header.offset = {scaleOffset.offset.x, scaleOffset.offset.y, scaleOffset.offset.z};

    // The header is written now to reserve its place and again, complete, by endLeg.
    leg.buffer.resize(std::max(BUFFER_SIZE, offsetToPointData + leg.recordLength));
    Raw::encodeRawHeader(header, leg.buffer.data(), headerSize);
    std::size_t position = headerSize;
    for (const LasVlr& vlr : leg.vlrs) {
        Raw::RawVlrHeader vlrHeader;
        vlrHeader.userId = Raw::fieldOf<16>(vlr.userId);
        vlrHeader.recordId = vlr.recordId;
        vlrHeader.recordLengthAfterHeader = static_cast<std::uint16_t>(vlr.payload.size());
        vlrHeader.description = Raw::fieldOf<32>(vlr.description);
        vlrHeader.encode(leg.buffer.data() + position);
        position += Raw::RawVlrHeader::SIZE;
        std::copy(vlr.payload.begin(), vlr.payload.end(),
                  leg.buffer.begin() + static_cast<std::ptrdiff_t>(position));
        position += vlr.payload.size();
    }
    leg.used = position;
    leg.lowest.fill(std::numeric_limits<std::int32_t>::max());
    leg.highest.fill(std::numeric_limits<std::int32_t>::min());
}

bool LasWriter::flush() {
    Leg& leg = *mLeg;
    if (leg.used != 0 && !leg.file.write(leg.buffer.data(), leg.used)) {
        leg.ioError = leg.partialPath.string() + ": " + leg.file.error();
        return false;
    }
    leg.used = 0;
    return true;
}

ReturnStatus LasWriter::write(const InputOutputPoint& point) {
    if (!mLeg) {
        return ReturnStatus::failure("LAS writer: no leg is open (write before beginLeg or after endLeg)");
    }
    Leg& leg = *mLeg;
    if (!leg.ioError.empty()) {
        return ReturnStatus::failure(leg.ioError);
    }
    if (!leg.codec) {
        start(&point);
    }
    if (mOptions.versionMinor < 4 && leg.pointCount == std::numeric_limits<std::uint32_t>::max()) {
        return ReturnStatus::failure(leg.finalPath.string() + ": LAS 1." +
                                     std::to_string(mOptions.versionMinor) +
                                     " holds at most 4294967295 points");
    }
    if (leg.buffer.size() - leg.used < leg.recordLength && !flush()) {
        return ReturnStatus::failure(leg.ioError);
    }
    PointCodec::Stored stored;
    std::string why;
    std::uint8_t* record = leg.buffer.data() + leg.used;
    // An exact type test instead of a cast: LasPoint is final, and its accessors then need no dispatch.
    const bool encoded = typeid(point) == typeid(LasPoint)
                             ? leg.codec->encode(static_cast<const LasPoint&>(point), record, stored, why)
                             : leg.codec->encode(point, record, stored, why);
    if (!encoded) {
        return ReturnStatus::failure(leg.finalPath.string() + ": point " + std::to_string(leg.pointCount) +
                                     ": " + why);
    }
    leg.used += leg.recordLength;
    ++leg.pointCount;
    if (stored.returnNumber >= 1 && stored.returnNumber <= leg.pointsByReturn.size()) {
        ++leg.pointsByReturn[stored.returnNumber - 1u];
    }
    for (std::size_t axis = 0; axis < 3; ++axis) {
        leg.lowest[axis] = std::min(leg.lowest[axis], stored.xyz[axis]);
        leg.highest[axis] = std::max(leg.highest[axis], stored.xyz[axis]);
    }
    return ReturnStatus::success();
}

void LasWriter::endLeg() {
    if (!mLeg) {
        throw Core::IOException("LAS writer: endLeg without an open leg");
    }
    Leg& leg = *mLeg;
    if (!leg.codec) {
        start(nullptr);
    }
    Raw::RawHeader& header = leg.header;
    const bool legacyCountsFit = leg.pointCount <= std::numeric_limits<std::uint32_t>::max();
    // LAS 1.4 zeroes the legacy counts for formats 6 to 10 and whenever they cannot hold the total.
    if (legacyCountsFit && (mOptions.versionMinor < 4 || header.pointFormat < 6)) {
        header.legacyPointCount = static_cast<std::uint32_t>(leg.pointCount);
        for (std::size_t index = 0; index < header.legacyPointsByReturn.size(); ++index) {
            header.legacyPointsByReturn[index] = static_cast<std::uint32_t>(leg.pointsByReturn[index]);
        }
    }
    header.pointCount = leg.pointCount;
    header.pointsByReturn = leg.pointsByReturn;
    if (leg.pointCount != 0) {
        const auto real = [&header, &leg](std::size_t axis, bool highest) {
            return (highest ? leg.highest[axis] : leg.lowest[axis]) * header.scale[axis] +
                   header.offset[axis];
        };
        header.bounds = {real(0, true),  real(0, false), real(1, true),
                         real(1, false), real(2, true),  real(2, false)};
    }
    std::array<std::uint8_t, Raw::HEADER_SIZE_1_4> bytes{};
    Raw::encodeRawHeader(header, bytes.data(), header.headerSize);
    std::string failure;
    if (!flush()) {
        failure = leg.ioError;
    } else if (!leg.file.seek(0) || !leg.file.write(bytes.data(), header.headerSize) || !leg.file.close()) {
        failure = leg.partialPath.string() + ": " + leg.file.error();
    } else {
        std::error_code error;
        std::filesystem::rename(leg.partialPath, leg.finalPath, error);
        if (error) {
            failure = leg.finalPath.string() + ": cannot rename the completed file (" + error.message() + ")";
        }
    }
    if (!failure.empty()) {
        abandonLeg();
        throw Core::IOException(failure);
    }
    mWrittenFiles.push_back(leg.finalPath);
    mLeg.reset();
}

void LasWriter::abandonLeg() {
    if (mLeg) {
        mLeg->file.close();
        std::error_code ignored;
        std::filesystem::remove(mLeg->partialPath, ignored);
        mLeg.reset();
    }
}

} // namespace Orvid::FileIoInterface::Las
