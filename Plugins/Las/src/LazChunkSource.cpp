#include <FileIoInterface/Las/LazChunkSource.h>

#include "Laz/CopyableChunks.h"
#include "Laz/LazChunkReader.h"

#include <Core/IOException.h>
#include <FileIoInterface/Las/LasHeader.h>

namespace Orvid::FileIoInterface::Las {

LazChunkSource::LazChunkSource(const std::filesystem::path& path) {
    const LasHeader header = readLasHeader(path);
    if (!header.lazDescription) {
        throw Core::IOException(path.string() + ": not a LAZ file, so it has no chunks to copy");
    }
    mChunks = std::make_unique<Laz::CopyableChunks>(Laz::LazChunkReader(path, header));
}

LazChunkSource::~LazChunkSource() = default;

} // namespace Orvid::FileIoInterface::Las
