#include <FileIoInterface/Las/LasReader.h>

#include "HeaderReader.h"
#include "InputFile.h"
#include "Laz/ChunkPipeline.h"
#include "Laz/LazChunkReader.h"
#include "LegFileName.h"
#include "PointCodec.h"
#include "Raw/PointFormat.h"

#include <Core/IOException.h>

#include <algorithm>
#include <cctype>
#include <limits>

namespace Orvid::FileIoInterface::Las {

namespace {

constexpr std::size_t BUFFER_SIZE = std::size_t{1} << 20;

std::string trimmed(const std::string& text) {
    const auto isBlank = [](char character) {
        return std::isspace(static_cast<unsigned char>(character)) != 0;
    };
    const auto first = std::find_if_not(text.begin(), text.end(), isBlank);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), isBlank).base();
    return first < last ? std::string(first, last) : std::string();
}

} // namespace

LasReader::LasReader(std::vector<std::filesystem::path> files)
    : mFiles(std::move(files)) {
    mHeaders.reserve(mFiles.size());
    for (const std::filesystem::path& path : mFiles) {
        mHeaders.push_back(readLasHeader(path));
    }
}

LasReader::~LasReader() = default;

std::size_t LasReader::numberOfLegs() const {
    return mFiles.size();
}

std::uint64_t LasReader::numberOfPoints() const {
    std::uint64_t total = 0;
    for (const LasHeader& header : mHeaders) {
        total += header.pointCount;
    }
    return total;
}

bool LasReader::hasMoreLegs() {
    return mNextLeg < mFiles.size();
}

LegInformation LasReader::nextLeg() {
    if (!hasMoreLegs()) {
        throw Core::IOException("LAS reader: no leg left after " + std::to_string(mFiles.size()) + " legs");
    }
    const std::size_t index = mNextLeg++;
    mFile.reset();
    mCodec.reset();
    mChunks.reset();
    mPointsInLeg = 0;
    mPointsRead = 0;
    mCursor = mEnd = nullptr;

    const std::filesystem::path& path = mFiles[index];
    auto file = std::make_unique<InputFile>(path);
    // Read again: the file may have changed since the reader was made, and the points must match it.
    LasHeader& header = mHeaders[index];
    header = readHeader(*file);
    if (header.pointCount > std::numeric_limits<std::size_t>::max()) {
        throw Core::IOException(file->message("header announces " + std::to_string(header.pointCount) +
                                              " points, more than this machine can count"));
    }
    mCodec = std::make_unique<PointCodec>(Raw::POINT_FORMATS[header.pointFormat], header.scale, header.offset,
                                          ExtraBytesLayout(header.extraAttributes, path.string()));
    mRecordLength = header.pointRecordLength;
    mBuffer.resize(std::max(BUFFER_SIZE / mRecordLength, std::size_t{1}) * mRecordLength);
    if (header.compressed) {
        mChunks = std::make_unique<Laz::ChunkPipeline>(std::make_shared<Laz::LazChunkReader>(path, header),
                                                       mThreads);
    }
    file->seek(header.offsetToPointData);
    mFile = std::move(file);
    mPointsInLeg = header.pointCount;

    return legInformationOf(path, header, index);
}

bool LasReader::hasMorePoints() {
    return mPointsRead < mPointsInLeg;
}

std::unique_ptr<InputOutputPoint> LasReader::nextPoint() {
    auto point = std::make_unique<LasPoint>();
    readPoint(*point);
    return point;
}

void LasReader::readPoint(LasPoint& point) {
    if (mPointsRead >= mPointsInLeg) {
        throw Core::IOException(mFile ? mFile->message("no point left in the leg after " +
                                                       std::to_string(mPointsRead) + " points")
                                      : std::string("LAS reader: no leg started"));
    }
    if (mCursor == mEnd) {
        refill();
    }
    point.values.clear();
    mCodec->decode(mCursor, point);
    mCursor += mRecordLength;
    ++mPointsRead;
}

void LasReader::refill() {
    if (mChunks) {
        if (!mChunks->next(mBuffer)) {
            throw Core::IOException(
                mFile->message("the chunks end after " + std::to_string(mPointsRead) + " points"));
        }
        mCursor = mBuffer.data();
        mEnd = mCursor + mBuffer.size();
        return;
    }
    // Whole records only: the buffer never splits one.
    const std::uint64_t remaining = mPointsInLeg - mPointsRead;
    const std::size_t capacity = mBuffer.size() / mRecordLength;
    const std::size_t records = remaining < capacity ? static_cast<std::size_t>(remaining) : capacity;
    const std::size_t bytes = records * mRecordLength;
    mFile->readExactly(mBuffer.data(), bytes, "point data");
    mCursor = mBuffer.data();
    mEnd = mCursor + bytes;
}

std::size_t LasReader::numberOfPointsInLeg() {
    return static_cast<std::size_t>(mPointsInLeg);
}

const LasHeader& LasReader::header(std::size_t index) const {
    return mHeaders.at(index);
}

std::optional<std::size_t> LasReader::currentLeg() const {
    if (mNextLeg == 0) {
        return std::nullopt;
    }
    return mNextLeg - 1;
}

LegInformation legInformationOf(const std::filesystem::path& file, const LasHeader& header,
                                std::size_t index) {
    return LegInformation(file.stem().string(), file, trimmed(header.systemIdentifier),
                          static_cast<unsigned int>(index), Maths::SpinDirection::Unknown, header.describe(),
                          trimmed(header.generatingSoftware), header.extraAttributes);
}

std::vector<std::filesystem::path> lasFilesIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    std::filesystem::directory_iterator entries(folder, error);
    if (error) {
        throw Core::IOException(folder.string() + ": cannot list the folder (" + error.message() + ")");
    }
    for (const auto& entry : entries) {
        const std::string name = entry.path().filename().string();
        if ((hasExtension(name, ".las") || hasExtension(name, ".laz")) && entry.is_regular_file(error)) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace Orvid::FileIoInterface::Las
