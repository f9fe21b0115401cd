#pragma once

#include <FileIoInterface/FileIoInterfaceExport.h>
#include <FileIoInterface/Readers/EventOutput/EoLlhUasMaster.h>
#include <FileIoInterface/Readers/EventOutput/EoXyzPix4d.h>

#include <filesystem>

namespace Orvid::FileIoInterface::Readers::EventOutput {

/// Reader of an event-output file: the positioned events of a flight, one record per event, in the
/// layout of the file (geographic or projected positions).
class FILEIOINTERFACE_EXPORT IEventOutputReader {
public:
    IEventOutputReader() = default;
    IEventOutputReader(const IEventOutputReader&) = default;
    IEventOutputReader& operator=(const IEventOutputReader&) = default;
    virtual ~IEventOutputReader();

    /// Opens the file at `path`. Throws Core::IOException when it cannot be opened or its layout is
    /// not one the reader knows.
    virtual void open(const std::filesystem::path& path) = 0;
    /// True while events are left to read.
    virtual bool hasMoreEvents() = 0;
    /// Fills `event` with the next event of a file with geographic positions. Throws
    /// Core::IOException when no event is left or the file has the other layout.
    virtual void nextEvent(EoLlhUasMaster& event) = 0;
    /// Fills `event` with the next event of a file with projected positions. Throws
    /// Core::IOException when no event is left or the file has the other layout.
    virtual void nextEvent(EoXyzPix4d& event) = 0;
};

} // namespace Orvid::FileIoInterface::Readers::EventOutput
