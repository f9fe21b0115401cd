#pragma once

#include <FileIoInterface/FileIoInterfaceExport.h>
#include <Maths/Interval.h>

#include <cstddef>
#include <filesystem>

namespace Orvid::FileIoInterface::Readers::GnssImu {

/// Reader of the GNSS/IMU stream of a flight, read in step with the other readers of the flight.
/// Times are in the unit of the format plug-in.
class FILEIOINTERFACE_EXPORT GnssImuSynchronizedReader {
public:
    GnssImuSynchronizedReader() = default;
    GnssImuSynchronizedReader(const GnssImuSynchronizedReader&) = default;
    GnssImuSynchronizedReader& operator=(const GnssImuSynchronizedReader&) = default;
    virtual ~GnssImuSynchronizedReader();

    /// Opens the stream at `path`. Throws Core::IOException when it cannot be opened or is not in the
    /// reader's format.
    virtual void open(const std::filesystem::path& path) = 0;
    /// Releases the stream; does nothing when none is open.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    /// Times of the first and the last epoch of the stream.
    virtual Maths::Interval<double> timeSpan() const = 0;
    /// Moves to the first epoch whose time is not before `time`; false when no such epoch exists.
    virtual bool seek(double time) = 0;
    /// Reads the epochs up to and including `time` and returns how many were read.
    /// Throws Core::IOException when the stream cannot be read.
    virtual std::size_t readUntil(double time) = 0;
};

} // namespace Orvid::FileIoInterface::Readers::GnssImu
