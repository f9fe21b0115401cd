#pragma once

#include <FileIoInterface/Readers/PointCloud/SynchronizedReader.h>

#include <cstddef>
#include <filesystem>

namespace Orvid::Testing {

/// Implements the pure operations of a synchronized reader with no data behind them, and exposes the
/// identifiers that the bases keep for derived readers.
template <typename Base>
class StubSynchronizedReader : public Base {
public:
    using Base::Base;
    using Base::getSoftwareId;
    using Base::getSystemId;

    void open(const std::filesystem::path&) override {}
    void close() override {}
    bool isOpen() const override { return false; }
    Maths::Interval<double> timeSpan() const override { return {}; }
    bool seek(double) override { return false; }
    double currentTime() const override { return 0.0; }
    std::size_t readUntil(double) override { return 0; }
    bool hasMoreRecords() const override { return false; }
};

} // namespace Orvid::Testing
