#pragma once

#include <FileIoInterface/Las/LasExport.h>
#include <FileIoInterface/Las/LasHeader.h>
#include <FileIoInterface/Las/LasPoint.h>
#include <FileIoInterface/Readers/PointCloud/PointCloudReader.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

namespace Orvid::FileIoInterface::Las {

class InputFile;
class PointCodec;
namespace Laz {
class ChunkPipeline;
}

/// Reads an ordered list of LAS or LAZ files as consecutive legs, one leg per file. Every header is read and
/// checked when the reader is made, so that `header()`, `numberOfLegs()` and `numberOfPoints()` are
/// known before the first leg; each file is opened when its leg starts and its points are streamed
/// through a buffer of about 1 MiB. Points are `LasPoint`s.
///
/// `nextLeg()` returns the file stem as `name`, the path as `filePath`, the leg's index (from 0) as
/// `number`, the system identifier as `lidarId` and the generating software as `softwareId` (the
/// library's defaults when blank), "LAS <v>, point format <n>" as `comment`, and the extra-bytes
/// descriptors of `LasHeader::extraAttributes` as `attributes`.
///
/// Every failure throws Core::IOException with a message that starts with the file's path.
class FILEIOINTERFACE_LAS_EXPORT LasReader final : public Readers::PointCloud::PointCloudReader {
public:
    /// Throws when a file cannot be opened or its header is not one this plug-in reads.
    explicit LasReader(std::vector<std::filesystem::path> files);
    ~LasReader() override;
    LasReader(const LasReader&) = delete;
    LasReader& operator=(const LasReader&) = delete;

    std::size_t numberOfLegs() const override;
    /// The sum of the headers' point counts.
    std::uint64_t numberOfPoints() const override;
    bool hasMoreLegs() override;
    /// Opens the next file, reading its header again; throws when there is no leg left.
    LegInformation nextLeg() override;
    bool hasMorePoints() override;
    /// Throws when the leg has no point left or the file ends before its announced points.
    std::unique_ptr<InputOutputPoint> nextPoint() override;
    /// All points of the current leg, as its header announces them; 0 before the first leg.
    std::size_t numberOfPointsInLeg() override;

    /// Threads that decode the chunks of LAZ files ahead of the reader (1, the default, decodes on the
    /// caller's thread); takes effect from the next leg. 0 counts as 1.
    void setThreads(std::size_t threads) { mThreads = threads; }
    std::size_t threads() const { return mThreads; }

    /// Fills `point` with the next point of the current leg, reusing its storage; the same checks as
    /// `nextPoint()`.
    void readPoint(LasPoint& point);

    const std::vector<std::filesystem::path>& files() const { return mFiles; }
    /// The header of leg `index` (from 0); the reader owns it.
    const LasHeader& header(std::size_t index) const;
    /// Index of the current leg; absent before the first `nextLeg()`.
    std::optional<std::size_t> currentLeg() const;
    /// Points of the current leg read so far.
    std::uint64_t pointsReadInLeg() const { return mPointsRead; }

private:
    void refill();

    std::vector<std::filesystem::path> mFiles;
    std::vector<LasHeader> mHeaders;
    std::size_t mNextLeg = 0;
    std::unique_ptr<InputFile> mFile;
    std::unique_ptr<PointCodec> mCodec;
    std::unique_ptr<Laz::ChunkPipeline> mChunks;
    std::size_t mThreads = 1;
    std::vector<std::uint8_t> mBuffer;
    const std::uint8_t* mCursor = nullptr;
    const std::uint8_t* mEnd = nullptr;
    std::size_t mRecordLength = 0;
    std::uint64_t mPointsInLeg = 0;
    std::uint64_t mPointsRead = 0;
};

/// The leg information that `LasReader::nextLeg` returns for leg `index` (from 0) of the file `file`
/// whose header is `header`: for writing points of that leg without reading it again.
FILEIOINTERFACE_LAS_EXPORT LegInformation legInformationOf(const std::filesystem::path& file,
                                                           const LasHeader& header, std::size_t index);

/// The regular files of `folder` whose extension is ".las" or ".laz" in any case, sorted by name: the legs of
/// a cloud kept as a folder. Throws Core::IOException when the folder cannot be listed.
FILEIOINTERFACE_LAS_EXPORT std::vector<std::filesystem::path> lasFilesIn(const std::filesystem::path& folder);

} // namespace Orvid::FileIoInterface::Las
