#pragma once

#include <FileIoInterface/FileIoInterfaceExport.h>

#include <filesystem>

namespace Orvid::FileIoInterface::Readers {

/// Root of the synchronized readers: a reader of one source file.
class FILEIOINTERFACE_EXPORT Reader {
public:
    Reader() = default;
    Reader(const Reader&) = default;
    Reader& operator=(const Reader&) = default;
    virtual ~Reader();

    /// Opens the file at `path` for reading. Throws Core::IOException when it cannot be opened or is
    /// not in the reader's format.
    virtual void open(const std::filesystem::path& path) = 0;
};

} // namespace Orvid::FileIoInterface::Readers
