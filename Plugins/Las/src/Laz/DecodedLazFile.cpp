#include "Laz/DecodedLazFile.h"

#include "Laz/ChunkPipeline.h"
#include "Laz/LazChunkReader.h"

#include <Core/IOException.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace Orvid::FileIoInterface::Las::Laz {
namespace {

/// An unnamed file in the temporary folder: the kernel frees it once its last descriptor and mapping go.
class TemporaryDescriptor {
public:
    explicit TemporaryDescriptor(const std::filesystem::path& source) {
        const std::filesystem::path folder = std::filesystem::temp_directory_path();
        mDescriptor = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (mDescriptor < 0) {
            throw Core::IOException(source.string() + ": cannot make a temporary file in " + folder.string() +
                                    " for its decoded records (" + std::strerror(errno) + ")");
        }
    }
    ~TemporaryDescriptor() { ::close(mDescriptor); }
    TemporaryDescriptor(const TemporaryDescriptor&) = delete;
    TemporaryDescriptor& operator=(const TemporaryDescriptor&) = delete;
    int get() const { return mDescriptor; }

private:
    int mDescriptor = -1;
};

void writeAll(int descriptor, const std::vector<std::uint8_t>& bytes, const std::filesystem::path& source) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t result = ::write(descriptor, bytes.data() + written, bytes.size() - written);
        if (result < 0 && errno == EINTR) {
            continue;
        }
        if (result <= 0) {
            throw Core::IOException(source.string() +
                                    ": cannot keep its decoded records in a temporary file (" +
                                    std::strerror(result < 0 ? errno : ENOSPC) + ")");
        }
        written += static_cast<std::size_t>(result);
    }
}

} // namespace

DecodedLazFile::DecodedLazFile(const std::filesystem::path& path, const LasHeader& header) {
    auto chunks = std::make_shared<const LazChunkReader>(path, header);
    const TemporaryDescriptor file(path);
    ChunkPipeline pipeline(chunks, std::max(1U, std::thread::hardware_concurrency()));
    std::vector<std::uint8_t> records;
    while (pipeline.next(records)) {
        writeAll(file.get(), records, path);
    }
    mRecords =
        std::make_unique<MappedRecordBlocks>(file.get(), path, header.pointCount, header.pointRecordLength);
}

} // namespace Orvid::FileIoInterface::Las::Laz
