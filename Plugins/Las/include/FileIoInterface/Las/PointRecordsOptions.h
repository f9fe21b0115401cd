#pragma once

#include <cstdint>
#include <functional>

namespace Orvid::FileIoInterface::Las {

/// How `PointRecords` opens a file.
struct PointRecordsOptions {
    /// Threads that decode the chunks of a LAZ file, besides the opening thread, which keeps the
    /// decoded records; 0 means one per CPU this process may run on (`Utils::usableCpuCount`), 1 that
    /// the opening thread decodes them itself and no thread is started.
    unsigned decodingThreads = 0;
    /// Called on the opening thread after each decoded chunk of a LAZ file, with its number of points,
    /// so that a long decoding can show progress; what it throws stops the opening.
    std::function<void(std::uint64_t points)> decoded;
};

} // namespace Orvid::FileIoInterface::Las
