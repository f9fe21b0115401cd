#pragma once

#include <FileIoInterface/FileIoInterfaceExport.h>
#include <FileIoInterface/Readers/Reader.h>
#include <Maths/Interval.h>

#include <cstddef>
#include <string>

namespace Orvid::FileIoInterface::Readers::PointCloud {

/// A reader whose records are stamped with times and read in step with other such readers of the
/// same flight. Identifies the system that recorded the data and the software that produced the
/// file. Times are in the unit of the format plug-in.
class FILEIOINTERFACE_EXPORT SynchronizedReader : public Reader {
public:
    SynchronizedReader(std::string systemId, std::string softwareId);
    SynchronizedReader(const SynchronizedReader& other);
    SynchronizedReader& operator=(const SynchronizedReader& other);
    ~SynchronizedReader() override;

    /// Releases the file; does nothing when none is open.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    /// Times of the first and the last record of the file.
    virtual Maths::Interval<double> timeSpan() const = 0;
    /// Moves to the first record whose time is not before `time`; false when no such record exists.
    virtual bool seek(double time) = 0;
    /// Time of the record at the reading position.
    virtual double currentTime() const = 0;
    /// Reads the records up to and including `time` and returns how many were read.
    /// Throws Core::IOException when the file cannot be read.
    virtual std::size_t readUntil(double time) = 0;
    /// True while records are left after the reading position.
    virtual bool hasMoreRecords() const = 0;

protected:
    const std::string& getSystemId() const;
    const std::string& getSoftwareId() const;

private:
    std::string systemId;
    std::string softwareId;
};

} // namespace Orvid::FileIoInterface::Readers::PointCloud
