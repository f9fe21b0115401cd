#pragma once

#include <FileIoInterface/Las/LasCoordinateSystemRecords.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Orvid::Compare::Metadata {

struct CoordinateSystemBuilder;

/// A coordinate system as one file declares it in one kind of record, built with PROJ so that two of
/// them compare by meaning: the same system written as GeoTIFF keys in one file and as WKT in another is
/// equal, a changed parameter is not.
class CoordinateSystem {
public:
    /// The record it was read from: "GeoTIFF keys" or "WKT", followed by " (EVLR)" when the record lies
    /// after the points.
    const std::string& source() const { return mSource; }
    /// Its name as PROJ gives it (horizontal and vertical, e.g. "NAD83 / UTM zone 17N + NAVD88 height");
    /// when PROJ could not build it, what the record says of itself.
    const std::string& name() const { return mName; }
    /// Its EPSG code, when PROJ identifies the system with certainty (confidence 100): a WKT's AUTHORITY
    /// counts only when its definition matches the registry's. A compound system without a code of its
    /// own gives its horizontal system's code.
    std::optional<int> epsg() const { return mEpsg; }
    /// Why PROJ could not build it, or built it from part of its WKT only; empty when it built it whole.
    /// Such a system equals only one whose records hold the same bytes.
    const std::string& problem() const { return mProblem; }
    /// "NAD83 / UTM zone 17N (EPSG:26917)", or the name alone without a code.
    std::string describe() const;
    /// Whether both describe the same system, axis order of geographic systems aside. A WKT's TOWGS84
    /// clause (a transformation to WGS 84 beside the system) counts only when both systems have one.
    /// Uses the PROJ context this system was built in.
    bool equivalentTo(const CoordinateSystem& other) const;

private:
    friend struct CoordinateSystemBuilder;

    std::string mSource;
    std::string mName;
    std::optional<int> mEpsg;
    std::string mProblem;
    /// PROJ's object (a PJ) of the system, with the context it was built in; absent when not built.
    std::shared_ptr<void> mObject;
    /// The records' bytes, for the systems that PROJ could not build.
    std::vector<std::uint8_t> mRecordBytes;
};

/// What one file declares: its GeoTIFF keys and its WKT, each as a coordinate system when present.
struct DeclaredCoordinateSystem {
    std::optional<CoordinateSystem> geoTiff;
    std::optional<CoordinateSystem> wkt;
    /// The header's WKT bit (LAS 1.4).
    bool wktBitSet = false;

    /// The file's coordinate system: the WKT one when the WKT bit is set, the GeoTIFF one when it is
    /// not, else whichever the file has; null when it has none.
    const CoordinateSystem* effective() const;
    /// When the file holds both, PROJ built both and they are not the same system: a sentence that names
    /// both.
    std::optional<std::string> disagreement() const;
};

/// Builds coordinate systems from a file's records in a PROJ context of its own, so that no state is
/// shared between threads or runs. Not for use by two threads at once.
class CrsContext {
public:
    /// A context on the database that PROJ finds by itself (Debian's proj-data, or PROJ_DATA).
    CrsContext();
    /// A context on the database file `databasePath`.
    explicit CrsContext(const std::string& databasePath);
    ~CrsContext();
    CrsContext(const CrsContext&) = delete;
    CrsContext& operator=(const CrsContext&) = delete;

    /// The systems that `records` declare. GeoTIFF keys are built from their EPSG codes (projected or
    /// geographic, with the vertical one as a compound system); WKT as written. Records that PROJ cannot
    /// build, malformed ones included, and every record when PROJ cannot open its database, give a
    /// system with a problem; never throws on a record's content.
    DeclaredCoordinateSystem read(const FileIoInterface::Las::LasCoordinateSystemRecords& records);

private:
    std::shared_ptr<void> mContext;
};

} // namespace Orvid::Compare::Metadata
