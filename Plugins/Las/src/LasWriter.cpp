#include <FileIoInterface/Las/LasWriter.h>

#include <FileIoInterface/Las/LasLayout.h>

#include "ExtraBytesLayout.h"
#include "Laz/CopyableChunks.h"
#include "Laz/LazDescription.h"
#include "LazPointData.h"
#include "LegFileName.h"
#include "OutputFile.h"
#include "PointCodec.h"
#include "Raw/PointFormat.h"
#include "Raw/RawHeader.h"
#include "Raw/RawVlr.h"

#include <Core/IOException.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>
#include <stdexcept>
#include <typeinfo>

namespace Orvid::FileIoInterface::Las {

using Utils::ErrorManagement::ReturnStatus;

namespace {

constexpr std::size_t BUFFER_SIZE = std::size_t{1} << 20;
const char* const PARTIAL_SUFFIX = ".partial";
// A source chunk is copied only up to this many times the writer's own chunk size, which bounds the
// records held while it repeats.
constexpr std::uint64_t MAX_COPIED_CHUNK_SIZES = 4;

std::uint8_t maxFormatOf(std::uint8_t versionMinor) {
    return versionMinor >= 4 ? 10 : (versionMinor == 3 ? 5 : 3);
}

bool isValidScale(double scale) {
    return scale >= 1e-12 && scale <= 1e6;
}

void checkScaleOffset(const LasScaleOffset& scaleOffset, const char* whose) {
    const Xyz& scale = scaleOffset.scale;
    const Xyz& offset = scaleOffset.offset;
    if (!isValidScale(scale.x) || !isValidScale(scale.y) || !isValidScale(scale.z) ||
        !std::isfinite(offset.x) || !std::isfinite(offset.y) || !std::isfinite(offset.z)) {
        throw std::invalid_argument(std::string("LAS writer: ") + whose +
                                    " scales must be positive numbers from 1e-12 to 1e6 and offsets finite");
    }
}

// The header as the layout fixes it; counts and bounds wait for the end of the leg.
Raw::RawHeader rawHeaderOf(const LasLayout& layout) {
    Raw::RawHeader header;
    header.signature = {'L', 'A', 'S', 'F'};
    header.fileSourceId = layout.fileSourceId;
    header.globalEncoding = layout.globalEncoding;
    header.projectId = layout.projectId;
    header.versionMajor = 1;
    header.versionMinor = layout.versionMinor;
    header.systemIdentifier = Raw::fieldOf<32>(layout.systemIdentifier);
    header.generatingSoftware = Raw::fieldOf<32>(layout.generatingSoftware);
    const std::time_t now = std::time(nullptr);
    if (const std::tm* date = std::gmtime(&now)) {
        header.creationDayOfYear = static_cast<std::uint16_t>(date->tm_yday + 1);
        header.creationYear = static_cast<std::uint16_t>(date->tm_year + 1900);
    }
    header.headerSize = layout.headerSize;
    header.offsetToPointData = layout.offsetToPointData;
    header.numberOfVlrs = static_cast<std::uint32_t>(layout.vlrs.size());
    header.pointFormat =
        layout.compression == LasCompression::Laz
            ? static_cast<std::uint8_t>(layout.pointFormat | Raw::POINT_FORMAT_COMPRESSED_BIT)
            : layout.pointFormat;
    header.pointRecordLength = layout.pointRecordLength;
    const LasScaleOffset& scaleOffset = layout.scaleOffset;
    header.scale = {scaleOffset.scale.x, scaleOffset.scale.y, scaleOffset.scale.z};
    header.offset = {scaleOffset.offset.x, scaleOffset.offset.y, scaleOffset.offset.z};
    return header;
}

// Encodes `header` and `vlrs` at `bytes`, which has room for them; returns the bytes written.
std::size_t encodeHeaderAndVlrs(const Raw::RawHeader& header, const std::vector<LasVlr>& vlrs,
                                std::uint8_t* bytes) {
    Raw::encodeRawHeader(header, bytes, header.headerSize);
    std::size_t position = header.headerSize;
    for (const LasVlr& vlr : vlrs) {
        Raw::RawVlrHeader vlrHeader;
        vlrHeader.userId = Raw::fieldOf<16>(vlr.userId);
        vlrHeader.recordId = vlr.recordId;
        vlrHeader.recordLengthAfterHeader = static_cast<std::uint16_t>(vlr.payload.size());
        vlrHeader.description = Raw::fieldOf<32>(vlr.description);
        vlrHeader.encode(bytes + position);
        position += Raw::RawVlrHeader::SIZE;
        std::copy(vlr.payload.begin(), vlr.payload.end(), bytes + position);
        position += vlr.payload.size();
    }
    return position;
}

// Where the LAZ description's chunk size lies in the file `layout` describes.
std::uint64_t lazChunkSizeOffset(const LasLayout& layout) {
    std::uint64_t position = layout.headerSize;
    for (const LasVlr& vlr : layout.vlrs) {
        position += Raw::RawVlrHeader::SIZE;
        if (vlr.userId == Laz::LazDescription::USER_ID && vlr.recordId == Laz::LazDescription::RECORD_ID) {
            return position + Laz::LazDescription::CHUNK_SIZE_OFFSET;
        }
        position += vlr.payload.size();
    }
    throw std::logic_error("LAS writer: a LAZ layout without its description record");
}

} // namespace

/// Points written so far that repeat a chunk of their source from its first record on: the chunk is
/// copied once they complete it.
struct LasWriter::ChunkRepeat {
    const LazChunkSource* source = nullptr;
    std::size_t chunk = 0;
    std::uint64_t next = 0;
    std::uint64_t end = 0;
};

struct LasWriter::Leg {
    LegInformation information;
    std::filesystem::path finalPath;
    std::filesystem::path partialPath;
    std::optional<LasCarriedFields> carried;
    ExtraBytesLayout extraBytes;
    std::vector<std::uint8_t> extraBytesRecord;
    OutputFile file;
    std::unique_ptr<PointCodec> codec;
    /// The compressed point data of a LAZ leg; the buffer then holds one chunk of records.
    std::unique_ptr<LazPointData> laz;
    Raw::RawHeader header;
    std::vector<std::uint8_t> buffer;
    std::size_t used = 0;
    /// The records are handed on once `used` would pass this: the buffer's size, or a LAZ chunk's.
    std::size_t flushAt = 0;
    std::size_t recordLength = 0;
    std::optional<ChunkRepeat> repeat;
    /// The last source whose chunks were checked against this file's, and whether they fit.
    const LazChunkSource* checkedSource = nullptr;
    bool sourceFits = false;
    std::uint64_t pointCount = 0;
    std::array<std::uint64_t, 15> pointsByReturn{};
    std::array<std::int32_t, 3> lowest{};
    std::array<std::int32_t, 3> highest{};
    /// Set by the first failed disk operation; every later write fails with it.
    std::string ioError;
};

LasWriter::LasWriter(std::filesystem::path folder, LasWriterOptions options)
    : mFolder(std::move(folder))
    , mOptions(std::move(options)) {
    if (mOptions.versionMinor < 2 || mOptions.versionMinor > 4) {
        throw std::invalid_argument("LAS writer: version 1." + std::to_string(mOptions.versionMinor) +
                                    " is not written (1.2, 1.3 or 1.4)");
    }
    if (mOptions.pointFormat && *mOptions.pointFormat > maxFormatOf(mOptions.versionMinor)) {
        throw std::invalid_argument("LAS writer: point format " + std::to_string(*mOptions.pointFormat) +
                                    " does not exist in LAS 1." + std::to_string(mOptions.versionMinor));
    }
    if (mOptions.scaleOffset) {
        checkScaleOffset(*mOptions.scaleOffset, "given");
    }
    if (mOptions.carried) {
        checkScaleOffset(mOptions.carried->scaleOffset, "carried");
    }
    if (mOptions.compression == LasCompression::Laz && mOptions.lazChunkPoints == 0) {
        throw std::invalid_argument("LAS writer: LAZ chunks of 0 points");
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
    const std::string extension = compressionFor(mOptions, leg) == LasCompression::Laz ? ".laz" : ".las";
    // A name given as a file name keeps its extension rather than taking a second one.
    return mFolder / (hasExtension(name, extension) ? name : name + extension);
}

void LasWriter::beginLeg(const LegInformation& leg) {
    open(leg, mOptions.carried);
}

void LasWriter::beginLeg(const LegInformation& leg, const LasCarriedFields& carried) {
    checkScaleOffset(carried.scaleOffset, "carried");
    open(leg, carried);
}

void LasWriter::open(const LegInformation& leg, std::optional<LasCarriedFields> carried) {
    if (mLeg) {
        throw Core::IOException(mLeg->finalPath.string() + ": a new leg begins before this one has ended");
    }
    if (compressionFor(mOptions, leg) == LasCompression::Laz && mOptions.lazChunkPoints == 0) {
        throw std::invalid_argument("LAS writer: LAZ chunks of 0 points");
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
    state->carried = std::move(carried);
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

bool LasWriter::start(const InputOutputPoint* firstPoint) {
    Leg& leg = *mLeg;
    const LasLayout layout =
        planLasLayout(mOptions, leg.carried ? &*leg.carried : nullptr, leg.information, firstPoint);
    const bool compressed = layout.compression == LasCompression::Laz;
    leg.codec = std::make_unique<PointCodec>(Raw::POINT_FORMATS[layout.pointFormat], layout.scaleOffset.scale,
                                             layout.scaleOffset.offset, leg.extraBytes);
    leg.recordLength = leg.codec->recordLength();
    leg.header = rawHeaderOf(layout);
    // The header is written now to reserve its place and again, complete, by endLeg.
    leg.buffer.resize(std::max(BUFFER_SIZE, std::size_t{layout.offsetToPointData} + leg.recordLength));
    leg.used = encodeHeaderAndVlrs(leg.header, layout.vlrs, leg.buffer.data());
    leg.flushAt = leg.buffer.size();
    leg.lowest.fill(std::numeric_limits<std::int32_t>::max());
    leg.highest.fill(std::numeric_limits<std::int32_t>::min());
    return !compressed || startLaz(layout);
}

bool LasWriter::startLaz(const LasLayout& layout) {
    Leg& leg = *mLeg;
    // The head goes out at once; the buffer then holds the records of one chunk.
    if (!flush()) {
        return false;
    }
    const Laz::LazDescription description = Laz::LazDescription::forRecords(
        layout.pointFormat, static_cast<std::uint16_t>(leg.extraBytes.size()), mOptions.lazChunkPoints);
    leg.laz = std::make_unique<LazPointData>(
        leg.file, leg.partialPath.string(), description, layout.pointRecordLength, layout.offsetToPointData,
        lazChunkSizeOffset(layout), mOptions.threads, mOptions.sharedThreads);
    if (!leg.laz->begin()) {
        leg.ioError = leg.laz->error();
        return false;
    }
    leg.buffer.resize(std::size_t{mOptions.lazChunkPoints} * leg.recordLength);
    leg.flushAt = leg.buffer.size();
    return true;
}

bool LasWriter::flush(bool last) {
    Leg& leg = *mLeg;
    if (leg.laz && leg.used != 0) {
        const auto points = static_cast<std::uint32_t>(leg.used / leg.recordLength);
        const std::size_t size = leg.buffer.size();
        if (!leg.laz->add(leg.buffer, points, last)) {
            leg.ioError = leg.laz->error();
            return false;
        }
        leg.buffer.resize(size);
        leg.used = 0;
        return true;
    }
    if (leg.used != 0 && !leg.file.write(leg.buffer.data(), leg.used)) {
        leg.ioError = leg.partialPath.string() + ": " + leg.file.error();
        return false;
    }
    leg.used = 0;
    return true;
}

ReturnStatus LasWriter::write(const InputOutputPoint& point) {
    return write(point, LasPointOrigin{});
}

ReturnStatus LasWriter::write(const InputOutputPoint& point, const LasPointOrigin& origin) {
    if (!mLeg) {
        return ReturnStatus::failure("LAS writer: no leg is open (write before beginLeg or after endLeg)");
    }
    Leg& leg = *mLeg;
    if (!leg.ioError.empty()) {
        return ReturnStatus::failure(leg.ioError);
    }
    if (!leg.codec && !start(&point)) {
        return ReturnStatus::failure(leg.ioError);
    }
    if (mOptions.versionMinor < 4 && leg.pointCount == std::numeric_limits<std::uint32_t>::max()) {
        return ReturnStatus::failure(leg.finalPath.string() + ": LAS 1." +
                                     std::to_string(mOptions.versionMinor) +
                                     " holds at most 4294967295 points");
    }
    if (leg.laz && !follow(origin)) {
        return ReturnStatus::failure(leg.ioError);
    }
    // While points repeat a source chunk, the buffer was sized to hold it whole.
    if (!leg.repeat && leg.used + leg.recordLength > leg.flushAt && !flush()) {
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
        leg.repeat.reset();
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
    if (leg.repeat && !repeated(record, origin.bytes)) {
        return ReturnStatus::failure(leg.ioError);
    }
    return ReturnStatus::success();
}

bool LasWriter::follow(const LasPointOrigin& origin) {
    Leg& leg = *mLeg;
    const bool usable = origin.source != nullptr && origin.bytes != nullptr;
    if (leg.repeat && (!usable || origin.source != leg.repeat->source || origin.record != leg.repeat->next)) {
        leg.repeat.reset();
    }
    if (leg.repeat || !usable) {
        return true;
    }
    const Laz::CopyableChunks& source = *origin.source->mChunks;
    if (leg.checkedSource != origin.source) {
        leg.checkedSource = origin.source;
        leg.sourceFits = leg.laz->canCopyFrom(source);
    }
    const std::optional<std::size_t> chunk =
        leg.sourceFits ? source.chunkStartingAt(origin.record) : std::nullopt;
    if (!chunk) {
        return true;
    }
    const std::uint64_t points = source.chunk(*chunk).pointCount;
    if (points == 0 || points > MAX_COPIED_CHUNK_SIZES * mOptions.lazChunkPoints) {
        return true;
    }
    // The records before it go out as a shorter chunk, so that this one can be a chunk of its own.
    if (leg.used != 0 && !flush()) {
        return false;
    }
    leg.buffer.resize(std::max<std::size_t>(leg.buffer.size(), points * leg.recordLength));
    leg.repeat = ChunkRepeat{origin.source, *chunk, origin.record, origin.record + points};
    return true;
}

bool LasWriter::repeated(const std::uint8_t* record, const std::uint8_t* sourceRecord) {
    Leg& leg = *mLeg;
    ChunkRepeat& repeat = *leg.repeat;
    if (std::memcmp(record, sourceRecord, leg.recordLength) != 0) {
        leg.repeat.reset();
        return true;
    }
    if (++repeat.next < repeat.end) {
        return true;
    }
    // The buffer holds exactly the chunk's records, which its source has compressed already.
    const bool copied = leg.laz->copy(*repeat.source->mChunks, repeat.chunk);
    leg.repeat.reset();
    if (!copied) {
        leg.ioError = leg.laz->error();
        return false;
    }
    leg.used = 0;
    return true;
}

void LasWriter::endLeg() {
    if (!mLeg) {
        throw Core::IOException("LAS writer: endLeg without an open leg");
    }
    Leg& leg = *mLeg;
    if (!leg.codec && !start(nullptr)) {
        const std::string failure = leg.ioError;
        abandonLeg();
        throw Core::IOException(failure);
    }
    Raw::RawHeader& header = leg.header;
    Raw::setPointCounts(header, leg.pointCount, leg.pointsByReturn);
    if (leg.pointCount != 0) {
        const auto real = [&header, &leg](std::size_t axis, bool highest) {
            return (highest ? leg.highest[axis] : leg.lowest[axis]) * header.scale[axis] +
                   header.offset[axis];
        };
        header.bounds = {real(0, true),  real(0, false), real(1, true),
                         real(1, false), real(2, true),  real(2, false)};
    }
    // A failed write may have lost records (a LAZ chunk is handed on once): such a file is never completed.
    const std::string failure = leg.ioError.empty() ? complete() : leg.ioError;
    if (!failure.empty()) {
        abandonLeg();
        throw Core::IOException(failure);
    }
    mWrittenFiles.push_back(leg.finalPath);
    mLeg.reset();
}

std::string LasWriter::complete() {
    Leg& leg = *mLeg;
    std::array<std::uint8_t, Raw::HEADER_SIZE_1_4> bytes{};
    Raw::encodeRawHeader(leg.header, bytes.data(), leg.header.headerSize);
    if (!flush(true)) {
        return leg.ioError;
    }
    if (leg.laz && !leg.laz->finish()) {
        return leg.laz->error();
    }
    if (!leg.file.seek(0) || !leg.file.write(bytes.data(), leg.header.headerSize) || !leg.file.close()) {
        return leg.partialPath.string() + ": " + leg.file.error();
    }
    std::error_code error;
    std::filesystem::rename(leg.partialPath, leg.finalPath, error);
    if (error) {
        return leg.finalPath.string() + ": cannot rename the completed file (" + error.message() + ")";
    }
    return {};
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
