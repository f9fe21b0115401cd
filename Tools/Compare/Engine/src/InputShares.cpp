#include <CompareEngine/InputShares.h>

#include <FileIoInterface/Las/LasHeader.h>
#include <FileIoInterface/Las/PointRecords.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace Orvid::Compare::Engine {

namespace {

using FileIoInterface::Las::PointRecords;

/// Where a leg may be cut, and what its records weigh.
struct LegLayout {
    std::uint64_t points = 0;
    /// Bytes per record: stored, or of the compressed file's point data on average.
    double recordBytes = 0.0;
    /// The records before which a LAZ leg may be cut (its chunks' starts); empty for a LAS leg, which
    /// may be cut before any record.
    std::vector<std::uint64_t> chunkStarts;
};

LegLayout layoutOf(const std::filesystem::path& leg) {
    const FileIoInterface::Las::LasHeader header = FileIoInterface::Las::readLasHeader(leg);
    LegLayout layout;
    layout.points = header.pointCount;
    layout.recordBytes = header.pointRecordLength;
    if (header.compressed && header.pointCount != 0) {
        FileIoInterface::Las::PointRecordsOptions options;
        options.lazAccess = FileIoInterface::Las::LazAccess::chunkByChunk;
        const PointRecords records(leg, options);
        for (std::size_t block = 0; block < records.blockCount(); ++block) {
            layout.chunkStarts.push_back(records.blockStart(block));
        }
        const std::uint64_t fileBytes = std::filesystem::file_size(leg);
        const std::uint64_t dataBytes =
            fileBytes > header.offsetToPointData ? fileBytes - header.offsetToPointData : 0;
        layout.recordBytes = static_cast<double>(dataBytes) / static_cast<double>(header.pointCount);
    }
    return layout;
}

/// The record of `leg` nearest to `records` records into it where the leg may be cut.
std::uint64_t nearestCut(const LegLayout& leg, double records) {
    const auto wanted =
        static_cast<std::uint64_t>(std::llround(std::clamp(records, 0.0, static_cast<double>(leg.points))));
    if (leg.chunkStarts.empty()) {
        return wanted;
    }
    std::vector<std::uint64_t> cuts = leg.chunkStarts;
    cuts.push_back(leg.points);
    const auto after = std::lower_bound(cuts.begin(), cuts.end(), wanted);
    if (after == cuts.begin()) {
        return *after;
    }
    const std::uint64_t before = *(after - 1);
    return after == cuts.end() || wanted - before <= *after - wanted ? before : *after;
}

} // namespace

std::vector<InputShare> planInputShares(const std::vector<std::filesystem::path>& legs, std::size_t shares) {
    if (shares == 0) {
        throw std::invalid_argument("an input needs at least one share");
    }
    std::vector<LegLayout> layouts;
    std::vector<std::uint64_t> legStarts{0};
    double bytes = 0.0;
    for (const std::filesystem::path& leg : legs) {
        layouts.push_back(layoutOf(leg));
        legStarts.push_back(legStarts.back() + layouts.back().points);
        bytes += layouts.back().recordBytes * static_cast<double>(layouts.back().points);
    }
    // Cuts as positions in reading order over all legs, at the allowed place nearest each share's end.
    std::vector<std::uint64_t> cuts{0};
    for (std::size_t share = 1; share < shares; ++share) {
        double target = bytes * static_cast<double>(share) / static_cast<double>(shares);
        std::uint64_t cut = legStarts.back();
        for (std::size_t leg = 0; leg < layouts.size(); ++leg) {
            const double legBytes = layouts[leg].recordBytes * static_cast<double>(layouts[leg].points);
            if (target < legBytes) {
                cut = legStarts[leg] + nearestCut(layouts[leg], target / layouts[leg].recordBytes);
                break;
            }
            target -= legBytes;
        }
        cuts.push_back(std::max(cut, cuts.back()));
    }
    cuts.push_back(legStarts.back());

    std::vector<InputShare> planned(shares);
    for (std::size_t share = 0; share < shares; ++share) {
        for (std::size_t leg = 0; leg < layouts.size(); ++leg) {
            const std::uint64_t begin = std::max(cuts[share], legStarts[leg]);
            const std::uint64_t end = std::min(cuts[share + 1], legStarts[leg + 1]);
            if (begin < end) {
                planned[share].push_back({leg, begin - legStarts[leg], end - begin});
            }
        }
    }
    return planned;
}

} // namespace Orvid::Compare::Engine
