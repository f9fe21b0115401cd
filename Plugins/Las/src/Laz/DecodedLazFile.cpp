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
#include <sys/mman.h>
#include <unistd.h>

namespace Orvid::FileIoInterface::Las::Laz {
namespace {

/// `bytes` in whole MB, rounded up.
std::string megabytes(std::uint64_t bytes) {
    return std::to_string((bytes + (1U << 20) - 1) >> 20) + " MB";
}

/// What a failure to keep decoded records says: the folder, the room needed and the variable that moves
/// the folder elsewhere.
std::string temporaryFailure(const std::filesystem::path& source, const std::filesystem::path& folder,
                             std::uint64_t bytes, int error) {
    return source.string() + ": cannot keep its decoded records (" + megabytes(bytes) +
           ") in the temporary folder " + folder.string() + " (" + std::strerror(error) +
           "); set TMPDIR to a folder with room";
}

/// An unnamed file in the temporary folder, or in memory: the kernel frees it once its last descriptor and
/// mapping go.
class TemporaryDescriptor {
public:
    TemporaryDescriptor(const std::filesystem::path& source, std::uint64_t bytes, bool inMemory)
        : mBytes(bytes) {
        if (inMemory) {
            mDescriptor = ::memfd_create("orvid-decoded-laz", MFD_CLOEXEC);
            if (mDescriptor < 0) {
                throw Core::IOException(failure(source, errno));
            }
            return;
        }
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
                throw Core::IOException(failure(source, result < 0 ? errno : ENOSPC));
            }
            written += static_cast<std::size_t>(result);
        }
    }

private:
    /// What a failure to keep the decoded records of `source` says, by where they were to be kept.
    std::string failure(const std::filesystem::path& source, int error) const {
        if (mFolder.empty()) {
            return source.string() + ": cannot keep its decoded records (" + megabytes(mBytes) +
                   ") in memory (" + std::strerror(error) + ")";
        }
        return temporaryFailure(source, mFolder, mBytes, error);
    }

    /// Empty when the records are kept in memory.
    std::filesystem::path mFolder;
    std::uint64_t mBytes = 0;
    int mDescriptor = -1;
};

} // namespace

DecodedLazFile::DecodedLazFile(const std::filesystem::path& path, const LasHeader& header,
                               const PointRecordsOptions& options) {
    auto chunks = std::make_shared<const LazChunkReader>(path, header);
    const TemporaryDescriptor file(path, header.decodedRecordBytes(), options.decodeIntoMemory);
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
