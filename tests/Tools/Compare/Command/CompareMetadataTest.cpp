// orvid-compare on real files and copies of them edited at the byte level: what it says of their
// headers, records and coordinate systems, and the exit status that follows.
#include "CommandRunner.h"
#include "TemporaryFolder.h"

#include <FileIoInterface/Las/LasCoordinateSystemRecords.h>
#include <FileIoInterface/Las/LasHeader.h>

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using Bytes = std::vector<std::uint8_t>;
using namespace Orvid::Testing::Compare;

const fs::path SAMPLES = LAS_SAMPLE_DIR;
// LAS 1.2, NAD83 / Mississippi West (ftUS) as GeoTIFF keys, and two VLRs of its own (NIIRS10 1 and 4).
const fs::path GEOTIFF_FILE = SAMPLES / "mvk-thin.las";
// LAS 1.0, NAD83 / UTM zone 15N as GeoTIFF keys, and the same as WKT in a VLR of another user id.
const fs::path BOTH_FORMS_FILE = SAMPLES / "1.0_1.las";
// LAS 1.4, point format 6, its WKT in its first VLR and again in a VLR of another user id.
const fs::path WKT_FILE = SAMPLES / "test1_4.las";

Bytes bytesOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write(const fs::path& file, const Bytes& bytes) {
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

/// Replaces the first occurrence of `from` in `bytes` from `start` on by `to`, of the same length.
void replace(Bytes& bytes, const std::string& from, const std::string& to, std::size_t start = 0) {
    ASSERT_EQ(from.size(), to.size());
    const Bytes pattern(from.begin(), from.end());
    const auto found = std::search(bytes.begin() + static_cast<std::ptrdiff_t>(start), bytes.end(),
                                   pattern.begin(), pattern.end());
    ASSERT_NE(found, bytes.end()) << from;
    std::copy(to.begin(), to.end(), found);
}

template <typename T>
void put(Bytes& bytes, std::size_t offset, T value) {
    std::memcpy(bytes.data() + offset, &value, sizeof value);
}

template <typename T>
T get(const Bytes& bytes, std::size_t offset) {
    T value{};
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

/// The VLRs of the LAS file `bytes`, each as stored (its 54-byte header, then its payload).
std::vector<Bytes> vlrsOf(const Bytes& bytes) {
    std::vector<Bytes> vlrs;
    std::size_t at = get<std::uint16_t>(bytes, 94);
    for (std::uint32_t index = 0; index < get<std::uint32_t>(bytes, 100); ++index) {
        const std::size_t size = 54U + get<std::uint16_t>(bytes, at + 20);
        vlrs.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                          bytes.begin() + static_cast<std::ptrdiff_t>(at + size));
        at += size;
    }
    return vlrs;
}

/// Puts `vlrs` in place of the VLRs of the LAS file `bytes`.
void setVlrs(Bytes& bytes, const std::vector<Bytes>& vlrs) {
    const auto headerEnd = bytes.begin() + get<std::uint16_t>(bytes, 94);
    bytes.erase(headerEnd, bytes.begin() + get<std::uint32_t>(bytes, 96));
    Bytes joined;
    for (const Bytes& vlr : vlrs) {
        joined.insert(joined.end(), vlr.begin(), vlr.end());
    }
    bytes.insert(bytes.begin() + get<std::uint16_t>(bytes, 94), joined.begin(), joined.end());
    put<std::uint32_t>(bytes, 96, static_cast<std::uint32_t>(get<std::uint16_t>(bytes, 94) + joined.size()));
    put<std::uint32_t>(bytes, 100, static_cast<std::uint32_t>(vlrs.size()));
}

/// Appends `vlr` to the LAS 1.4 file `bytes`, which has no extended VLR, as its one extended VLR: the
/// same user id, record id and description, the length on 64 bits.
void appendAsExtendedVlr(Bytes& bytes, const Bytes& vlr) {
    put<std::uint64_t>(bytes, 235, bytes.size());
    put<std::uint32_t>(bytes, 243, 1);
    const std::size_t start = bytes.size();
    bytes.insert(bytes.end(), vlr.begin(), vlr.begin() + 20);
    bytes.resize(start + 28);
    put<std::uint64_t>(bytes, start + 20, vlr.size() - 54);
    bytes.insert(bytes.end(), vlr.begin() + 22, vlr.end());
}

/// Moves the first point of the LAS file `bytes` by `steps` of its x scale.
void moveFirstPoint(Bytes& bytes, std::int32_t steps) {
    const std::size_t at = get<std::uint32_t>(bytes, 96);
    put<std::int32_t>(bytes, at, get<std::int32_t>(bytes, at) + steps);
}

/// A GeoTIFF key entry (id, location 0, count 1, value) as the little-endian bytes it is stored as.
std::string keyEntry(std::uint16_t id, std::uint16_t value) {
    const std::uint16_t entry[4] = {id, 0, 1, value};
    return {reinterpret_cast<const char*>(entry), sizeof entry};
}

struct Comparison {
    Outcome outcome;
    json report;
};

class CompareMetadata : public testing::Test {
protected:
    /// Compares `reference` with `test` with the `options` given, and reads the JSON report.
    Comparison compare(const fs::path& reference, const fs::path& test,
                       std::vector<std::string> options = {}) {
        const fs::path report = folder / "report.json";
        options.insert(options.end(), {"--json", report.string(), reference.string(), test.string()});
        Comparison run{Orvid::Testing::Compare::run(options, folder.path), json()};
        if (fs::exists(report)) {
            run.report = json::parse(contentsOf(report));
            fs::remove(report);
        }
        return run;
    }

    /// A copy of `source` edited by `edit`.
    template <typename Edit>
    fs::path copyOf(const fs::path& source, const std::string& name, Edit edit) {
        Bytes bytes = bytesOf(source);
        edit(bytes);
        fs::path copy = folder / name;
        write(copy, bytes);
        return copy;
    }

    static std::vector<std::string> fieldsOf(const json& report) {
        std::vector<std::string> fields;
        for (const json& difference : report["metadata"]["differences"]) {
            fields.push_back(difference["field"].get<std::string>() + " (" +
                             difference["kind"].get<std::string>() + ")");
        }
        return fields;
    }

    const TemporaryFolder folder;
};

TEST_F(CompareMetadata, AnIdenticalCopyNamesNothingAndReportsEachCoordinateSystem) {
    const Comparison run = compare(GEOTIFF_FILE, copyOf(GEOTIFF_FILE, "copy.las", [](Bytes&) {}));
    EXPECT_EQ(run.outcome.status, 0) << run.outcome.err;
    EXPECT_TRUE(run.report["metadata"]["differences"].empty()) << run.report["metadata"];
    const json& system = run.report["metadata"]["reference"]["coordinateSystems"].at(0);
    EXPECT_EQ(system["epsg"], 26995) << system; // NAD83 / Mississippi West (ftUS)
    EXPECT_EQ(system["record"], "GeoTIFF keys");
    EXPECT_EQ(run.report["metadata"]["test"]["coordinateSystems"],
              run.report["metadata"]["reference"]["coordinateSystems"]);
    EXPECT_NE(run.outcome.out.find("  metadata: no difference\n"), std::string::npos) << run.outcome.out;
}

TEST_F(CompareMetadata, AChangedOrLostCoordinateSystemFailsByDefault) {
    const fs::path changed = copyOf(GEOTIFF_FILE, "changed.las", [](Bytes& bytes) {
        replace(bytes, keyEntry(3072, 26995), keyEntry(3072, 26994)); // Mississippi East
    });
    Comparison run = compare(GEOTIFF_FILE, changed);
    EXPECT_EQ(run.outcome.status, 1) << run.outcome.err;
    EXPECT_EQ(fieldsOf(run.report),
              (std::vector<std::string>{"crs (crs)", "vlr LASF_Projection 34735 (vlr)"}));
    EXPECT_EQ(run.report["metadata"]["test"]["coordinateSystems"].at(0)["epsg"], 26994);
    EXPECT_NE(
        run.outcome.out.find("    crs: NAD83 / Mississippi West (EPSG:26995) -> NAD83 / Mississippi East "
                             "(EPSG:26994)\n"),
        std::string::npos)
        << run.outcome.out;
    EXPECT_EQ(compare(GEOTIFF_FILE, changed, {"--fail-on", "removed,added"}).outcome.status, 0);
    EXPECT_EQ(compare(GEOTIFF_FILE, changed, {"--ignore-metadata", "crs"}).outcome.status, 0);

    // The key directory under another user id: no coordinate system at all.
    const fs::path lost = copyOf(GEOTIFF_FILE, "lost.las", [](Bytes& bytes) {
        replace(bytes, std::string("LASF_Projection\0", 16), std::string("LASF_Projectioz\0", 16));
    });
    run = compare(GEOTIFF_FILE, lost);
    EXPECT_EQ(run.outcome.status, 1) << run.outcome.err;
    EXPECT_EQ(run.report["metadata"]["differences"].at(0)["test"], "none");
    EXPECT_EQ(run.report["metadata"]["test"]["filesWithoutCoordinateSystem"], 1);
    EXPECT_NE(std::find(run.report["warnings"].begin(), run.report["warnings"].end(),
                        "test " + lost.string() + ": declares no coordinate system"),
              run.report["warnings"].end())
        << run.report["warnings"];
}

TEST_F(CompareMetadata, TheSameSystemAsGeoTiffKeysAndAsWktIsEqualButAChangedParameterIsNot) {
    // The test keeps only the WKT: its GeoTIFF records move to another user id, and its WKT record to
    // the coordinate-system one.
    const auto wktOnly = [](Bytes& bytes) {
        replace(bytes, std::string("LASF_Projection\0", 16), std::string("LASF_Projectioz\0", 16));
        replace(bytes, std::string("LASF_Projection\0", 16), std::string("LASF_Projectioz\0", 16));
        replace(bytes, std::string("liblas\0\0\0\0\0\0\0\0\0\0", 16), std::string("LASF_Projection\0", 16));
    };
    const fs::path asWkt = copyOf(BOTH_FORMS_FILE, "wkt.las", wktOnly);
    Comparison run = compare(BOTH_FORMS_FILE, asWkt);
    EXPECT_EQ(run.outcome.status, 0) << run.outcome.err << run.report["metadata"];
    const std::vector<std::string> fields = fieldsOf(run.report);
    EXPECT_EQ(std::count(fields.begin(), fields.end(), "crs (crs)"), 0);
    EXPECT_EQ(run.report["metadata"]["test"]["coordinateSystems"].at(0)["record"], "WKT");
    EXPECT_EQ(run.report["metadata"]["test"]["coordinateSystems"].at(0)["epsg"], 26915);

    const fs::path shifted = copyOf(BOTH_FORMS_FILE, "shifted.las", [&](Bytes& bytes) {
        wktOnly(bytes);
        replace(bytes, "\"central_meridian\",-93", "\"central_meridian\",-91");
    });
    run = compare(BOTH_FORMS_FILE, shifted);
    EXPECT_EQ(run.outcome.status, 1) << run.outcome.err;
    EXPECT_EQ(fieldsOf(run.report).at(0), "crs (crs)");
}

TEST_F(CompareMetadata, HeaderChangesAreNamedAndFailOnlyWhenAsked) {
    const fs::path edited = copyOf(GEOTIFF_FILE, "edited.las", [](Bytes& bytes) {
        put<std::uint8_t>(bytes, 25, 3);               // LAS 1.3
        put<std::uint16_t>(bytes, 4, 77);              // file source id
        std::memcpy(bytes.data() + 90, "\x07\x00", 2); // creation day of year 7
    });
    Comparison run = compare(GEOTIFF_FILE, edited);
    EXPECT_EQ(run.outcome.status, 0) << run.outcome.err;
    EXPECT_EQ(fieldsOf(run.report), (std::vector<std::string>{"version (header)", "fileSourceId (header)",
                                                              "creationDate (header)"}));
    const json& version = run.report["metadata"]["differences"].at(0);
    EXPECT_EQ(version["reference"], "1.2");
    EXPECT_EQ(version["test"], "1.3");
    EXPECT_NE(run.outcome.out.find("    version: 1.2 -> 1.3\n"), std::string::npos) << run.outcome.out;
    EXPECT_EQ(compare(GEOTIFF_FILE, edited, {"--fail-on", "metadata"}).outcome.status, 1);
    run = compare(GEOTIFF_FILE, edited,
                  {"--fail-on", "metadata", "--ignore-metadata", "version,fileSourceId,creationDate"});
    EXPECT_EQ(run.outcome.status, 0) << run.report["metadata"];
    EXPECT_EQ(compare(GEOTIFF_FILE, edited, {"--ignore-metadata", "colour"}).outcome.status, 2);
}

TEST_F(CompareMetadata, ScaleAndOffsetChangesAreNamedApartFromThePointsTheyMove) {
    const fs::path rescaled = copyOf(GEOTIFF_FILE, "rescaled.las", [](Bytes& bytes) {
        double scaleX = 0.0;
        std::memcpy(&scaleX, bytes.data() + 131, sizeof scaleX);
        put<double>(bytes, 131, scaleX / 2); // every x moves: the points are modified too
        put<double>(bytes, 171, 1000.0);     // z offset
    });
    Comparison run = compare(GEOTIFF_FILE, rescaled, {"--fail-on", "crs"});
    EXPECT_EQ(run.outcome.status, 0) << run.outcome.err;
    const std::vector<std::string> fields = fieldsOf(run.report);
    for (const char* field : {"scale (header)", "offset (header)"}) {
        EXPECT_NE(std::find(fields.begin(), fields.end(), field), fields.end()) << field;
    }
    EXPECT_EQ(compare(GEOTIFF_FILE, rescaled, {"--fail-on", "crs,metadata"}).outcome.status, 1);
}

TEST_F(CompareMetadata, ATimeStandardBitChangedAloneIsAMislabelledHeaderNotAnUnpairableRun) {
    const fs::path relabelled = copyOf(GEOTIFF_FILE, "relabelled.las", [](Bytes& bytes) {
        put<std::uint16_t>(bytes, 6, 1); // adjusted standard GPS time, times unchanged
    });
    const Comparison run = compare(GEOTIFF_FILE, relabelled);
    EXPECT_EQ(run.outcome.status, 0) << run.outcome.err;
    EXPECT_EQ(run.report["counts"]["removed"], 0);
    EXPECT_EQ(
        run.report["time"]["notes"],
        json{"the reference's header declares GPS week time and the test's adjusted standard GPS time, yet "
             "the times pair as they are: the test's header now mislabels its times"});
    EXPECT_EQ(fieldsOf(run.report), std::vector<std::string>{"timeStandard (header)"});
    // The times' range, read from the keys with the offset taken off again, is still a week's.
    const Comparison shifted = compare(GEOTIFF_FILE, relabelled, {"--time-offset", "5"});
    const std::string warning =
        "test " + relabelled.string() +
        ": the headers declare adjusted standard GPS time, but the times run from 338834.";
    EXPECT_NE(shifted.outcome.out.find(warning), std::string::npos) << shifted.outcome.out;
    EXPECT_NE(shifted.outcome.out.find("within a week: they look like GPS week time"), std::string::npos);
}

TEST_F(CompareMetadata, RecordsPresentOnOneSideOrWithAnotherPayloadAreNamed) {
    const fs::path edited = copyOf(GEOTIFF_FILE, "records.las", [](Bytes& bytes) {
        replace(bytes, "NAD_1983_StatePlane", "NAD_1983_StatePlanE");
        // Past the header, whose system identifier is "NIIRS10" too.
        replace(bytes, std::string("NIIRS10\0", 8), std::string("NIIRS11\0", 8), 227);
        replace(bytes, std::string("NIIRS10\0", 8), std::string("NIIRS11\0", 8), 227);
    });
    const Comparison run = compare(GEOTIFF_FILE, edited);
    EXPECT_EQ(run.outcome.status, 0) << run.outcome.err;
    EXPECT_EQ(fieldsOf(run.report), (std::vector<std::string>{"vlr LASF_Projection 34737 (vlr)",
                                                              "vlr NIIRS10 1 (vlr)", "vlr NIIRS10 4 (vlr)",
                                                              "vlr NIIRS11 1 (vlr)", "vlr NIIRS11 4 (vlr)"}));
    const json& gone = run.report["metadata"]["differences"].at(1);
    EXPECT_EQ(gone["test"], "absent");
    EXPECT_EQ(gone["reference"].get<std::string>().rfind("26 bytes, digest ", 0), 0U) << gone;
}

TEST_F(CompareMetadata, ExtraBytesDescriptorsAreComparedByNameAndTheirLossIsNotAPointChange) {
    const fs::path source = SAMPLES / "synthetic_eb_all_types_pf8.las";
    const fs::path rescaled = copyOf(source, "rescaled.las", [](Bytes& bytes) {
        // The descriptors' scale fields are doubles; the first one that is 0.01 becomes 0.02.
        const double from = 0.01;
        const double to = 0.02;
        replace(bytes, std::string(reinterpret_cast<const char*>(&from), 8),
                std::string(reinterpret_cast<const char*>(&to), 8));
    });
    Comparison run = compare(source, rescaled);
    ASSERT_EQ(run.report["metadata"]["differences"].size(), 1U) << run.report["metadata"];
    EXPECT_EQ(run.report["metadata"]["differences"].at(0)["kind"], "extraBytes");

    // The extra-bytes record under another record id: the bytes are still there, undescribed.
    const fs::path undescribed = copyOf(source, "undescribed.las", [](Bytes& bytes) {
        replace(bytes, std::string("LASF_Spec\0\0\0\0\0\0\0\x04\x00", 18),
                std::string("LASF_Spec\0\0\0\0\0\0\0\x05\x00", 18));
    });
    run = compare(source, undescribed);
    EXPECT_EQ(run.outcome.status, 0) << run.outcome.err;
    EXPECT_EQ(run.report["counts"]["altered"], 0);
    const json& schema = run.report["metadata"]["differences"].at(0);
    EXPECT_EQ(schema["field"], "extraBytes");
    EXPECT_NE(schema["test"].get<std::string>().find("bytes without descriptors"), std::string::npos)
        << schema;
}

TEST_F(CompareMetadata, ExtraAttributesOfOneNameAreNumberedInTheReport) {
    const fs::path source = SAMPLES / "synthetic_eb_all_types_pf8.las";
    // Its ten descriptors (192 bytes each, the name at byte 4) follow the extra-bytes record's header.
    const fs::path renamed = copyOf(source, "reserved.las", [](Bytes& bytes) {
        const std::string header("LASF_Spec\0\0\0\0\0\0\0\x04\x00", 18);
        const auto record = std::search(bytes.begin(), bytes.end(), header.begin(), header.end());
        ASSERT_NE(record, bytes.end());
        const auto payload = static_cast<std::size_t>(record - bytes.begin()) - 2 + 54;
        for (std::size_t descriptor = 0; descriptor < 10; ++descriptor) {
            const auto name = bytes.begin() + static_cast<std::ptrdiff_t>(payload + 192 * descriptor + 4);
            const std::string reserved = "Reserved";
            std::fill_n(name, 32, std::uint8_t{0});
            std::copy(reserved.begin(), reserved.end(), name);
        }
    });
    const Comparison run = compare(renamed, renamed);
    EXPECT_EQ(run.outcome.status, 0) << run.outcome.err;
    const json& extras = run.report["extraAttributeDifferences"];
    ASSERT_EQ(extras.size(), 10U) << extras;
    EXPECT_TRUE(extras.contains("Reserved[0]") && extras.contains("Reserved[9]")) << extras;
}

TEST_F(CompareMetadata, StaleBoundsAreAWarningAndAnErrorWithStrict) {
    const fs::path stale = copyOf(GEOTIFF_FILE, "stale.las", [](Bytes& bytes) {
        double maxX = 0.0;
        std::memcpy(&maxX, bytes.data() + 179, sizeof maxX);
        put<double>(bytes, 179, maxX + 10.0);
    });
    Comparison run = compare(GEOTIFF_FILE, stale);
    EXPECT_EQ(run.outcome.status, 0) << run.outcome.err;
    const std::string warning = "test " + stale.string() + ": the headers' bounds (";
    EXPECT_NE(run.outcome.out.find("warning: " + warning), std::string::npos) << run.outcome.out;
    run = compare(GEOTIFF_FILE, stale, {"--strict"});
    EXPECT_EQ(run.outcome.status, 2);
    EXPECT_NE(run.outcome.out.find("to within half a scale step (an error with --strict)"), std::string::npos)
        << run.outcome.out;
}

TEST_F(CompareMetadata, AFolderWithMixedCoordinateSystemsIsAWarningAndFilesOfOneNameArePaired) {
    const fs::path reference = folder / "reference";
    const fs::path test = folder / "test";
    fs::create_directories(reference);
    fs::create_directories(test);
    fs::copy_file(GEOTIFF_FILE, reference / "a.las");
    fs::copy_file(GEOTIFF_FILE, reference / "b.las");
    fs::copy_file(GEOTIFF_FILE, test / "a.las");
    write(test / "b.las", [] {
        Bytes bytes = bytesOf(GEOTIFF_FILE);
        replace(bytes, keyEntry(3072, 26995), keyEntry(3072, 26994));
        put<std::uint16_t>(bytes, 4, 9); // file source id
        return bytes;
    }());
    const Comparison run = compare(reference, test);
    EXPECT_EQ(run.outcome.status, 1) << run.outcome.err;
    EXPECT_EQ(fieldsOf(run.report), (std::vector<std::string>{"crs (crs)", "fileSourceId (header)",
                                                              "vlr LASF_Projection 34735 (vlr)"}));
    EXPECT_EQ(run.report["metadata"]["test"]["coordinateSystems"].size(), 2U);
    const std::string mixed = "test " + test.string() + ": its files declare different coordinate systems: ";
    EXPECT_NE(run.outcome.out.find(mixed), std::string::npos) << run.outcome.out;

    // Files of one name are compared on what their folders agree on: here the source id of b.las.
    fs::copy_file(test / "b.las", reference / "c.las");
    fs::copy_file(GEOTIFF_FILE, test / "c.las");
    const std::vector<std::string> fields = fieldsOf(compare(reference, test).report);
    EXPECT_NE(std::find(fields.begin(), fields.end(), "c.las: crs (crs)"), fields.end()) << json(fields);
}

/// The coordinate-system records of a class file, and its WKT bit.
std::tuple<bool, bool, std::string, bool> coordinateSystemOf(const fs::path& file) {
    using namespace Orvid::FileIoInterface::Las;
    const LasCoordinateSystemRecords records = coordinateSystemRecordsOf(readLasHeader(file));
    return {records.hasGeoTiff(), records.hasWkt(), records.wktText(), records.wktBitSet};
}

TEST_F(CompareMetadata, ClassFilesKeepAWktOfTheExtendedRecordsAndTheGeoTiffKeysOfFormat6) {
    const Bytes source = bytesOf(WKT_FILE);
    const std::vector<Bytes> vlrs = vlrsOf(source);
    const std::string wkt(vlrs[0].begin() + 54, std::find(vlrs[0].begin() + 54, vlrs[0].end(), 0));
    const auto wktAfterThePoints = [&](Bytes& bytes) {
        setVlrs(bytes, {vlrs[1]});
        appendAsExtendedVlr(bytes, vlrs[0]);
    };
    // GeoTIFF keys without WKT, which the format calls for but the file does not have.
    const auto geoTiffKeys = [&](Bytes& bytes) {
        const std::vector<Bytes> keys = vlrsOf(bytesOf(SAMPLES / "1.2_2.las"));
        setVlrs(bytes, {keys.at(0), keys.at(1), vlrs[1]});
        put<std::uint16_t>(bytes, 6, static_cast<std::uint16_t>(get<std::uint16_t>(bytes, 6) & 0xFFEFU));
    };
    using CoordinateSystem = std::tuple<bool, bool, std::string, bool>;
    struct Case {
        const char* name;
        std::function<void(Bytes&)> edit;
        CoordinateSystem expected;
    };
    for (const Case& each : {Case{"extended", wktAfterThePoints, CoordinateSystem(false, true, wkt, true)},
                             Case{"geotiff", geoTiffKeys, CoordinateSystem(true, false, "", false)}}) {
        const std::string name = each.name;
        const std::function<void(Bytes&)>& edit = each.edit;
        const CoordinateSystem& expected = each.expected;
        SCOPED_TRACE(name);
        const fs::path reference = copyOf(WKT_FILE, name + "-reference.las", edit);
        const fs::path test = copyOf(WKT_FILE, name + ".las", [&](Bytes& bytes) {
            edit(bytes);
            moveFirstPoint(bytes, 1000);
        });
        const fs::path out = folder / name;
        const Comparison run = compare(reference, test, {"--out", out.string()});
        EXPECT_EQ(run.outcome.status, 1) << run.outcome.err;
        EXPECT_EQ(run.report["counts"]["modified"], 1);
        EXPECT_EQ(coordinateSystemOf(reference), expected);
        EXPECT_EQ(coordinateSystemOf(out / "modified" / test.filename()), expected);
        // Displacements have no coordinate system, nor a WKT bit.
        EXPECT_EQ(coordinateSystemOf(out / "displacement" / test.filename()),
                  std::make_tuple(false, false, std::string(), false));
    }
}

TEST_F(CompareMetadata, ClassFilesThatCannotKeepTheCoordinateSystemSaySo) {
    // LAS 1.0 whose only coordinate-system record is WKT: its class files are LAS 1.2, which holds none.
    const fs::path wktOnly = copyOf(BOTH_FORMS_FILE, "wkt-only.las", [](Bytes& bytes) {
        replace(bytes, std::string("LASF_Projection\0", 16), std::string("LASF_Projectioz\0", 16));
        replace(bytes, std::string("LASF_Projection\0", 16), std::string("LASF_Projectioz\0", 16));
        replace(bytes, std::string("liblas\0\0\0\0\0\0\0\0\0\0", 16), std::string("LASF_Projection\0", 16));
    });
    const Comparison run = compare(wktOnly, wktOnly, {"--out", (folder / "out").string()});
    EXPECT_EQ(run.outcome.status, 0) << run.outcome.err;
    EXPECT_NE(std::find(run.report["warnings"].begin(), run.report["warnings"].end(),
                        "test: its class files cannot keep its coordinate system (LAS 1.2 holds no WKT); "
                        "they are written without one"),
              run.report["warnings"].end())
        << run.report["warnings"];
}

} // namespace
