#include "Metadata/CoordinateSystem.h"

#include <FileIoInterface/Las/LasHeader.h>

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

using namespace Orvid::Compare::Metadata;
using namespace Orvid::FileIoInterface::Las;
using Key = std::array<std::uint16_t, 4>;

constexpr std::uint16_t KEY_DIRECTORY = 34735;
constexpr std::uint16_t DOUBLE_PARAMS = 34736;
constexpr std::uint16_t ASCII_PARAMS = 34737;
constexpr std::uint16_t WKT_RECORD = 2112;

// NAD83 / UTM zone 17N as GDAL writes WKT1: a TOWGS84 clause, AUTHORITY nodes.
const std::string NAD83_UTM17_GDAL =
    R"(PROJCS["NAD83 / UTM zone 17N",GEOGCS["NAD83",DATUM["North_American_Datum_1983",)"
    R"(SPHEROID["GRS 1980",6378137,298.257222101,AUTHORITY["EPSG","7019"]],TOWGS84[0,0,0,0,0,0,0],)"
    R"(AUTHORITY["EPSG","6269"]],PRIMEM["Greenwich",0,AUTHORITY["EPSG","8901"]],)"
    R"(UNIT["degree",0.0174532925199433,AUTHORITY["EPSG","9122"]],AUTHORITY["EPSG","4269"]],)"
    R"(PROJECTION["Transverse_Mercator"],PARAMETER["latitude_of_origin",0],PARAMETER["central_meridian",-81],)"
    R"(PARAMETER["scale_factor",0.9996],PARAMETER["false_easting",500000],PARAMETER["false_northing",0],)"
    R"(UNIT["metre",1,AUTHORITY["EPSG","9001"]],AXIS["Easting",EAST],AXIS["Northing",NORTH],)"
    R"(AUTHORITY["EPSG","26917"]])";

// The same system with NAVD88 height, as ESRI writes WKT1: its own names, no authorities.
const std::string NAD83_UTM17_NAVD88_ESRI =
    R"(PROJCS["NAD_1983_UTM_Zone_17N",GEOGCS["GCS_North_American_1983",DATUM["D_North_American_1983",)"
    R"(SPHEROID["GRS_1980",6378137.0,298.257222101]],PRIMEM["Greenwich",0.0],UNIT["Degree",0.0174532925199433]],)"
    R"(PROJECTION["Transverse_Mercator"],PARAMETER["False_Easting",500000.0],PARAMETER["False_Northing",0.0],)"
    R"(PARAMETER["Central_Meridian",-81.0],PARAMETER["Scale_Factor",0.9996],PARAMETER["Latitude_Of_Origin",0.0],)"
    R"(UNIT["Meter",1.0]],VERTCS["NAVD_1988",VDATUM["North_American_Vertical_Datum_1988"],)"
    R"(PARAMETER["Vertical_Shift",0.0],PARAMETER["Direction",1.0],UNIT["Meter",1.0]])";

const std::string NAD83_GEOGRAPHIC =
    R"(GEOGCS["NAD83",DATUM["North_American_Datum_1983",SPHEROID["GRS 1980",6378137,298.257222101]],)"
    R"(PRIMEM["Greenwich",0],UNIT["degree",0.0174532925199433]])";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

LasLocatedRecord located(std::uint16_t recordId, std::vector<std::uint8_t> payload, bool extended = false) {
    return {LasVlr{"LASF_Projection", recordId, "", std::move(payload)}, extended};
}

std::vector<std::uint8_t> littleEndian(const std::vector<std::uint16_t>& values) {
    std::vector<std::uint8_t> bytes;
    for (const std::uint16_t value : values) {
        bytes.push_back(static_cast<std::uint8_t>(value & 0xFFU));
        bytes.push_back(static_cast<std::uint8_t>(value >> 8U));
    }
    return bytes;
}

/// A key directory of `keys` ({id, location, count, value}), with ASCII parameters when given.
LasCoordinateSystemRecords geoKeys(const std::vector<Key>& keys, const std::string& ascii = "") {
    std::vector<std::uint16_t> values{1, 1, 0, static_cast<std::uint16_t>(keys.size())};
    for (const Key& key : keys) {
        values.insert(values.end(), key.begin(), key.end());
    }
    LasCoordinateSystemRecords records;
    records.geoKeyDirectory = located(KEY_DIRECTORY, littleEndian(values));
    if (!ascii.empty()) {
        records.geoAsciiParams = located(ASCII_PARAMS, std::vector<std::uint8_t>(ascii.begin(), ascii.end()));
    }
    return records;
}

LasCoordinateSystemRecords projected(std::uint16_t code) {
    return geoKeys({{1024, 0, 1, 1}, {3072, 0, 1, code}});
}

LasCoordinateSystemRecords withWkt(LasCoordinateSystemRecords records, const std::string& wkt,
                                   bool extended = false) {
    std::vector<std::uint8_t> payload(wkt.begin(), wkt.end());
    payload.push_back(0);
    records.wkt = located(WKT_RECORD, std::move(payload), extended);
    return records;
}

class CoordinateSystemTest : public testing::Test {
protected:
    CoordinateSystem geoTiff(const LasCoordinateSystemRecords& records) {
        return *context.read(records).geoTiff;
    }
    CoordinateSystem wkt(const std::string& text) { return *context.read(withWkt({}, text)).wkt; }
    DeclaredCoordinateSystem ofFile(const std::string& path) {
        return context.read(coordinateSystemRecordsOf(readLasHeader(path)));
    }

    CrsContext context;
};

TEST_F(CoordinateSystemTest, ReadsTheSameSystemFromGeoTiffKeysAndWktOfEitherFlavourAsEqual) {
    const CoordinateSystem keys = geoTiff(projected(26917));
    const CoordinateSystem gdal = wkt(NAD83_UTM17_GDAL);
    EXPECT_EQ(keys.describe(), "NAD83 / UTM zone 17N (EPSG:26917)");
    EXPECT_EQ(keys.source(), "GeoTIFF keys");
    EXPECT_EQ(gdal.describe(), "NAD83 / UTM zone 17N (EPSG:26917)");
    EXPECT_EQ(gdal.problem(), "");
    EXPECT_TRUE(keys.equivalentTo(gdal));
    EXPECT_TRUE(gdal.equivalentTo(keys));

    const CoordinateSystem compound = geoTiff(geoKeys({{3072, 0, 1, 26917}, {4096, 0, 1, 5703}}));
    const CoordinateSystem esri = wkt(NAD83_UTM17_NAVD88_ESRI);
    EXPECT_EQ(compound.describe(), "NAD83 / UTM zone 17N + NAVD88 height (EPSG:26917)");
    EXPECT_TRUE(compound.equivalentTo(esri));
    EXPECT_FALSE(compound.equivalentTo(keys)) << "the vertical system counts";

    const CoordinateSystem geographic = geoTiff(geoKeys({{2048, 0, 1, 4269}}));
    EXPECT_EQ(geographic.describe(), "NAD83 (EPSG:4269)");
    EXPECT_TRUE(geographic.equivalentTo(wkt(NAD83_GEOGRAPHIC))) << "WKT1's longitude-first axes";
    EXPECT_FALSE(geographic.equivalentTo(keys));
}

TEST_F(CoordinateSystemTest, TellsAChangedParameterZoneOrDatumApart) {
    const CoordinateSystem keys = geoTiff(projected(26917));
    for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
             {"central_meridian\",-81", "central_meridian\",-75"},
             {"false_easting\",500000", "false_easting\",500100"}}) {
        const CoordinateSystem changed = wkt(replaced(NAD83_UTM17_GDAL, from, to));
        EXPECT_FALSE(changed.equivalentTo(keys)) << to;
        EXPECT_FALSE(changed.equivalentTo(wkt(NAD83_UTM17_GDAL))) << to;
        EXPECT_EQ(changed.epsg(), std::nullopt) << "an AUTHORITY that its parameters contradict: " << to;
    }
    EXPECT_FALSE(geoTiff(projected(26916)).equivalentTo(keys));
    EXPECT_FALSE(geoTiff(projected(32617)).equivalentTo(keys));

    // TOWGS84 says how to reach WGS 84: it tells two WKTs apart, not a WKT from keys that have none.
    const CoordinateSystem shifted = wkt(replaced(NAD83_UTM17_GDAL, "TOWGS84[0,", "TOWGS84[1,"));
    EXPECT_FALSE(shifted.equivalentTo(wkt(NAD83_UTM17_GDAL)));
    EXPECT_TRUE(shifted.equivalentTo(keys));
    EXPECT_EQ(shifted.epsg(), 26917);
}

TEST_F(CoordinateSystemTest, ComparesUserDefinedKeysByTheirBytesAndNamesThemByTheirCitation) {
    const std::string citation = "NAD_1983_HARN_Lambert_Conformal_Conic|";
    const auto userDefined = [&](const std::string& ascii) {
        return geoTiff(geoKeys({{1026, ASCII_PARAMS, 38, 0}, {3072, 0, 1, 32767}}, ascii));
    };
    const CoordinateSystem keys = userDefined(citation);
    EXPECT_EQ(keys.describe(), "NAD_1983_HARN_Lambert_Conformal_Conic");
    EXPECT_EQ(keys.problem(), "its projected system (GeoTIFF key 3072) is user-defined, not an EPSG code");
    EXPECT_TRUE(keys.equivalentTo(userDefined(citation)));
    EXPECT_FALSE(keys.equivalentTo(userDefined("NAD_1983_HARN_Lambert_Conformal_Conix|")));
    EXPECT_FALSE(keys.equivalentTo(geoTiff(projected(26917))));
    EXPECT_EQ(geoTiff(geoKeys({{1024, 0, 1, 1}})).describe(), "user-defined GeoTIFF keys");
}

struct Malformed {
    const char* name;
    LasCoordinateSystemRecords records;
    const char* problem;
};

class MalformedGeoTiffKeys : public CoordinateSystemTest, public testing::WithParamInterface<Malformed> {};

TEST_P(MalformedGeoTiffKeys, GiveAProblemAndEqualOnlyTheSameBytes) {
    const CoordinateSystem keys = geoTiff(GetParam().records);
    EXPECT_EQ(keys.name(), "malformed GeoTIFF keys");
    EXPECT_EQ(keys.problem(), std::string("its GeoTIFF keys are malformed: ") + GetParam().problem);
    EXPECT_TRUE(keys.equivalentTo(geoTiff(GetParam().records)));
}

LasCoordinateSystemRecords truncated(LasCoordinateSystemRecords records, std::size_t size) {
    records.geoKeyDirectory->record.payload.resize(size);
    return records;
}

LasCoordinateSystemRecords withDoubles(LasCoordinateSystemRecords records, std::size_t size) {
    records.geoDoubleParams = located(DOUBLE_PARAMS, std::vector<std::uint8_t>(size));
    return records;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedGeoTiffKeys,
    testing::Values(Malformed{"ShortHeader", truncated(projected(26917), 7),
                              "the key directory holds 7 bytes, fewer than its 8-byte header"},
                    Malformed{"KeysPastTheEnd", truncated(projected(26917), 23),
                              "the key directory declares 2 keys but holds 1"},
                    Malformed{"CitationPastTheEnd", geoKeys({{1026, ASCII_PARAMS, 10, 5}}, "NAD83|NAD8"),
                              "key 1026 reads characters 5 to 15 of 10"},
                    Malformed{"CitationWithoutAsciiParams", geoKeys({{1026, ASCII_PARAMS, 1, 0}}),
                              "key 1026 reads characters 0 to 1 of 0"},
                    Malformed{"DoublesPastTheEnd",
                              withDoubles(geoKeys({{3078, DOUBLE_PARAMS, 2, 65535}}), 16),
                              "key 3078 reads doubles 65535 to 65537 of 2"}),
    [](const testing::TestParamInfo<Malformed>& param) { return param.param.name; });

TEST_F(CoordinateSystemTest, ReportsWhatPROJCouldNotBuild) {
    EXPECT_EQ(geoTiff(projected(12345)).problem(), "PROJ could not build EPSG:12345: crs not found");
    EXPECT_EQ(wkt("PROJCS[\"NAD83 / UTM zone 17N\",GEOGCS[").problem(),
              "PROJ could not read its WKT: missing ]");
    EXPECT_EQ(wkt("PROJCS[\"NAD83 / UTM zone 17N\",GEOGCS[").name(), "NAD83 / UTM zone 17N");
    EXPECT_EQ(context.read(withWkt({}, "")).wkt->problem(), "its WKT is empty");

    CrsContext withoutDatabase("/nonexistent/proj.db");
    const DeclaredCoordinateSystem declared =
        withoutDatabase.read(withWkt(projected(26917), NAD83_UTM17_GDAL));
    EXPECT_EQ(declared.geoTiff->problem(),
              "PROJ could not open the database /nonexistent/proj.db: Open of /nonexistent/proj.db failed");
    EXPECT_EQ(declared.wkt->problem(), declared.geoTiff->problem());
    EXPECT_EQ(declared.geoTiff->describe(), "EPSG:26917");
}

TEST_F(CoordinateSystemTest, NamesTheEffectiveSystemAndADisagreementBetweenTheRecords) {
    DeclaredCoordinateSystem declared = context.read(withWkt(projected(26917), NAD83_UTM17_GDAL));
    EXPECT_EQ(declared.disagreement(), std::nullopt);

    declared = context.read(withWkt(projected(26917), replaced(NAD83_UTM17_GDAL, "-81", "-75"), true));
    EXPECT_EQ(declared.wkt->source(), "WKT (EVLR)");
    EXPECT_EQ(declared.effective(), &*declared.geoTiff);
    declared.wktBitSet = true;
    EXPECT_EQ(declared.effective(), &*declared.wkt);
    declared.geoTiff = context.read(projected(32617)).geoTiff;
    EXPECT_EQ(declared.disagreement(), "its GeoTIFF keys (WGS 84 / UTM zone 17N (EPSG:32617)) and its WKT "
                                       "(NAD83 / UTM zone 17N) describe different coordinate systems");
    declared.wkt.reset();
    EXPECT_EQ(declared.effective(), &*declared.geoTiff);
    EXPECT_EQ(declared.disagreement(), std::nullopt);
}

TEST_F(CoordinateSystemTest, ReadsTheSystemsOfRealFiles) {
    // Its WKT lies in a record of another user id, which the plug-in does not take for the file's.
    const DeclaredCoordinateSystem las10 = ofFile(LAS_SAMPLE_DIR "/1.0_1.las");
    EXPECT_EQ(las10.effective()->describe(), "NAD83 / UTM zone 15N (EPSG:26915)");
    EXPECT_EQ(las10.effective()->source(), "GeoTIFF keys");
    EXPECT_FALSE(las10.wkt.has_value());

    const DeclaredCoordinateSystem synthetic = ofFile(LAZ_SAMPLE_DIR "/synthetic_pf1_300k.laz");
    EXPECT_EQ(synthetic.effective()->describe(), "WGS 84 / UTM zone 33N (EPSG:32633)");

    // A compound WKT whose pair has no EPSG code: the horizontal one's.
    const DeclaredCoordinateSystem autzen = ofFile(LAS_SAMPLE_DIR "/autzen-bmx-2010.las");
    EXPECT_EQ(autzen.effective()->describe(), "NAD83 / Oregon LCC (m) + NAVD88 height (ftUS) (EPSG:2991)");
    EXPECT_TRUE(autzen.wkt->equivalentTo(geoTiff(geoKeys({{3072, 0, 1, 2991}, {4096, 0, 1, 6360}}))));

    // A vertical system inside the projected one, which PROJ skips.
    const DeclaredCoordinateSystem test14 = ofFile(LAS_SAMPLE_DIR "/test1_4.las");
    EXPECT_EQ(test14.effective()->describe(), "NAD83(HARN) / New Mexico Central (ftUS) (EPSG:2903)");
    EXPECT_EQ(test14.effective()->problem(), "PROJ read only part of its WKT: Parsing error : syntax error, "
                                             "unexpected ',', expecting ']' or ')'.");
    EXPECT_FALSE(test14.wkt->equivalentTo(geoTiff(projected(2903))));

    const DeclaredCoordinateSystem trim = ofFile(LAZ_SAMPLE_DIR "/autzen_trim.laz");
    EXPECT_EQ(trim.effective()->describe(), "NAD_1983_HARN_Lambert_Conformal_Conic");
    EXPECT_EQ(trim.wkt->describe(), "NAD_1983_HARN_Lambert_Conformal_Conic")
        << "ESRI's names: no certain code";
    EXPECT_TRUE(trim.wkt->equivalentTo(geoTiff(projected(2994))));
    EXPECT_EQ(trim.disagreement(), std::nullopt) << "user-defined keys say nothing PROJ can compare";
}

} // namespace
