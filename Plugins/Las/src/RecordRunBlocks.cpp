#include "RecordRunBlocks.h"

namespace Orvid::FileIoInterface::Las {

RecordRunBlocks::RecordRunBlocks(const std::vector<RawRecordRun>& runs, std::size_t recordLength) {
    std::uint64_t first = 0;
    for (const RawRecordRun& run : runs) {
        // An empty run makes no block: a block's records are at least one.
        if (run.count == 0) {
            continue;
        }
        mRuns.push_back(std::make_unique<MappedRecordBlocks>(run.file, run.offset, run.count, recordLength));
        mBlocks.push_back({first, run.count});
        first += run.count;
    }
}

} // namespace Orvid::FileIoInterface::Las
