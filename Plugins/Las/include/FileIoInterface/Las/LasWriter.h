#pragma once

#include <FileIoInterface/Las/LasCarriedFields.h>
#include <FileIoInterface/Las/LasExport.h>
#include <FileIoInterface/Las/LasWriterOptions.h>
#include <FileIoInterface/Las/LazChunkSource.h>
#include <FileIoInterface/Outputs/PointCloud/PointCloudWriter.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Orvid::FileIoInterface::Las {

struct LasLayout;
class OutputFile;
class PointCodec;

/// Writes each leg as a LAS file "<leg name>.las", or as a LAZ file "<leg name>.laz" when the options
/// ask for compression or the leg's name ends in ".laz", in an output folder (created when missing); a
/// name that ends in its file's extension, in any case, keeps it alone ("strip.laz"). The file is
/// written as
/// "<leg name>.las.partial" ("<leg name>.laz.partial") and renamed when `endLeg` has completed its
/// header (point counts, counts by return, bounds) and, in a LAZ file, its last chunk and chunk table,
/// so a file under its final name is always complete; an
/// unfinished leg's partial file is removed when the writer is destroyed. The extra-bytes record is
/// made from the leg's descriptors (undocumented bytes become data-type-0 entries); each point's
/// `values` must match them. The header fields of a source are carried over only when the caller
/// gives them (`LasWriterOptions::carried`, `beginLeg(leg, carried)`): the writer opens no input, and
/// `planLasLayout` tells what it writes.
class FILEIOINTERFACE_LAS_EXPORT LasWriter final : public Outputs::PointCloud::PointCloudWriter {
public:
    /// Throws std::invalid_argument for options no file can have: a version other than 1.2 to 1.4, a
    /// point format the version lacks, a scale that is not a positive number from 1e-12 to 1e6 or an
    /// offset that is not finite (given or carried), LAZ chunks of 0 points.
    explicit LasWriter(std::filesystem::path folder, LasWriterOptions options = {});
    ~LasWriter() override;
    LasWriter(const LasWriter&) = delete;
    LasWriter& operator=(const LasWriter&) = delete;

    /// Throws Core::IOException when a leg is already open, the folder or file cannot be created, or a
    /// descriptor cannot be written (data type above 10, name over 32 bytes, limits of another type);
    /// std::invalid_argument for a LAZ leg (by its name) when the options' LAZ chunks hold 0 points.
    /// Carries over `LasWriterOptions::carried`, if any.
    void beginLeg(const LegInformation& leg) override;
    /// As `beginLeg(leg)`, carrying over `carried` instead of the options' fields. Throws
    /// std::invalid_argument, before anything else, when its scale or offset is one no file can have.
    void beginLeg(const LegInformation& leg, const LasCarriedFields& carried);
    /// Throws Core::IOException when no leg is open or the file cannot be completed or renamed; the
    /// partial file is then removed.
    void endLeg() override;
    /// Fails, naming the file, when no leg is open, an earlier write failed, the disk refuses the
    /// bytes, or a value does not fit the leg's format (coordinates for its scale and offset, returns,
    /// class, flags, scan angle, extra values against the descriptors). A point that does not fit is not
    /// written; the leg can go on.
    Utils::ErrorManagement::ReturnStatus write(const InputOutputPoint& point) override;
    /// As `write(point)`, for a point read from `origin`. When the points of a LAZ file repeat a chunk
    /// of their source whole, from its first record, in order and byte for byte, the file stores that
    /// chunk as the source compressed it instead of compressing the records again; the file's chunks
    /// then each state their point count. The source must stay open until the leg ends.
    Utils::ErrorManagement::ReturnStatus write(const InputOutputPoint& point, const LasPointOrigin& origin);

    /// The final path of `leg`'s file.
    std::filesystem::path pathFor(const LegInformation& leg) const;

    /// Files completed so far, in order.
    const std::vector<std::filesystem::path>& writtenFiles() const { return mWrittenFiles; }

private:
    struct Leg;
    struct ChunkRepeat;

    void open(const LegInformation& leg, std::optional<LasCarriedFields> carried);
    bool start(const InputOutputPoint* firstPoint);
    bool startLaz(const LasLayout& layout);
    bool flush(bool last = false);
    /// Follows the repeat of a source chunk that `origin` continues or begins; false when the records
    /// before a chunk that begins could not be handed on.
    bool follow(const LasPointOrigin& origin);
    /// Checks the record just encoded against its source's; copies the chunk that it completes. False
    /// when the copy failed.
    bool repeated(const std::uint8_t* record, const std::uint8_t* sourceRecord);
    /// Writes what is left of the leg, the header and renames the file; what failed, or empty.
    std::string complete();
    void abandonLeg();

    std::filesystem::path mFolder;
    LasWriterOptions mOptions;
    std::unique_ptr<Leg> mLeg;
    std::size_t mLegsBegun = 0;
    std::vector<std::filesystem::path> mWrittenFiles;
};

} // namespace Orvid::FileIoInterface::Las
