#include "Laz/DecodedLazFile.h"

#include "Laz/ChunkPipeline.h"
#include "Laz/LazChunkReader.h"

#include <Core/IOException.h>
#include <Utils/UsableCpus.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace Orvid::FileIoInterface::Las::Laz {
namespace {

/// What a failure to keep decoded records says: the folder, the room needed and the variable that moves
/// the folder elsewhere.
std::string temporaryFailure(const std::filesystem::path& source, const std::filesystem::path& folder,
                             std::uint64_t bytes, int error) {
    return source.string() + ": cannot keep its decoded records (" +
           std::to_string((bytes + (1U << 20) - 1) >> 20) + " MB) in the temporary folder " +
           folder.string() + " (" + std::strerror(error) + "); set TMPDIR to a folder with room";
}

/// An unnamed file in the temporary folder: the kernel frees it once its last descriptor and mapping go.
class TemporaryDescriptor {
public:
    TemporaryDescriptor(const std::filesystem::path& source, std::uint64_t bytes)
        : mBytes(bytes) {
        std::error_code error;
        mFolder = std::filesystem::temp_directory_path(error);
        if (error) {
            const char* variable = std::getenv("TMPDIR");
            throw Core::IOException(
                temporaryFailure(source, variable != nullptr ? variable : "", bytes, error.value()));
        }
        mDescriptor = ::open(mFolder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (mDescriptor < 0) {
            throw Core::IOException(temporaryFailure(source, mFolder, bytes, errno));
        }
    }
    ~TemporaryDescriptor() { ::close(mDescriptor); }
    TemporaryDescriptor(const TemporaryDescriptor&) = delete;
    TemporaryDescriptor& operator=(const TemporaryDescriptor&) = delete;
    int get() const { return mDescriptor; }

    void writeAll(const std::vector<std::uint8_t>& bytes, const std::filesystem::path& source) const {
        std::size_t written = 0;
        while (written < bytes.size()) {
            const ssize_t result = ::write(mDescriptor, bytes.data() + written, bytes.size() - written);
            if (result < 0 && errno == EINTR) {
                continue;
            }
            if (result <= 0) {
                throw Core::IOException(
                    temporaryFailure(source, mFolder, mBytes, result < 0 ? errno : ENOSPC));
            }
            written += static_cast<std::size_t>(result);
        }
    }

private:
    std::filesystem::path mFolder;
    std::uint64_t mBytes = 0;
    int mDescriptor = -1;
};

} // namespace

DecodedLazFile::DecodedLazFile(const std::filesystem::path& path, const LasHeader& header,
                               const PointRecordsOptions& options) {
    auto chunks = std::make_shared<const LazChunkReader>(path, header);
    const TemporaryDescriptor file(path, header.pointCount * header.pointRecordLength);
    ChunkPipeline pipeline(chunks,
                           options.decodingThreads != 0 ? options.decodingThreads : Utils::usableCpuCount());
    std::vector<std::uint8_t> records;
    while (pipeline.next(records)) {
        file.writeAll(records, path);
        if (options.decoded) {
            options.decoded(records.size() / header.pointRecordLength);
        }
    }
    mRecords =
        std::make_unique<MappedRecordBlocks>(file.get(), path, header.pointCount, header.pointRecordLength);
}

} // namespace Orvid::FileIoInterface::Las::Laz
