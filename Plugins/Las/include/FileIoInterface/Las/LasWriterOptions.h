#pragma once

#include <FileIoInterface/Las/LasCarriedFields.h>
#include <FileIoInterface/Las/LasCompressionThreads.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace Orvid::FileIoInterface::Las {

/// How a `LasWriter` stores the point records: as they are ("<leg>.las") or compressed ("<leg>.laz").
enum class LasCompression { Las, Laz };

/// How a `LasWriter` lays out its files.
struct LasWriterOptions {
    /// Minor version of the files: 2, 3 or 4 (LAS 1.2, 1.3, 1.4).
    std::uint8_t versionMinor = 4;
    /// Point data record format of every leg. Absent: chosen per leg from its first point, within
    /// formats 6 to 8 for LAS 1.4 and 0 to 3 otherwise: RGB when the point was read from a format with
    /// RGB (or, for a point not read from LAS, has a colour other than black), NIR likewise; GPS time
    /// always in LAS 1.4, otherwise when the source format has it. Wave packets are written only when
    /// a format that has them is given here.
    std::optional<std::uint8_t> pointFormat;
    /// Scale and offset of every leg. Absent: the carried fields', else scale 0.001 and an offset of
    /// the first point's coordinates rounded to whole kilometres.
    std::optional<LasScaleOffset> scaleOffset;
    /// GPS time type (global encoding bit 0): adjusted standard time or week time. Absent: the carried
    /// fields', else week time.
    std::optional<bool> adjustedStandardGpsTime;
    /// Write the carried coordinate-system records that the written version and format allow (see
    /// `planLasLayout`): WKT in LAS 1.4, GeoTIFF keys otherwise or when the source had no WKT.
    bool copyCoordinateSystem = true;
    /// The header fields every leg carries over from its source (see `carriedFieldsOf`), unless
    /// `beginLeg(leg, carried)` gives its own. Absent: nothing is carried over.
    std::optional<LasCarriedFields> carried;
    /// LAS files, or LAZ files in independently compressed chunks of `lazChunkPoints` points (the last
    /// chunk of a leg may hold fewer).
    LasCompression compression = LasCompression::Las;
    /// Points per LAZ chunk, at least 1; the writer holds one chunk of records per leg, and a few more
    /// per thread while they are compressed.
    std::uint32_t lazChunkPoints = 50000;
    /// Threads that compress LAZ chunks: with 1 (or 0), the writing thread compresses each chunk as it
    /// fills; with more, the writer's own threads do, while the caller goes on writing points. The
    /// threads start with a leg's second chunk and end with the leg.
    std::size_t threads = 1;
    /// Threads shared with other writers that compress this writer's LAZ chunks in place of its own;
    /// `threads` then goes unused. Writers open at once stay within their count, and whichever has
    /// chunks to compress uses them all.
    std::shared_ptr<LasCompressionThreads> sharedThreads;
};

} // namespace Orvid::FileIoInterface::Las
