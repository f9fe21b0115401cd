#include "Command/Demo.h"

#include "Gather/DifferenceClass.h"

#include <FileIoInterface/Las/LasPoint.h>
#include <FileIoInterface/Las/LasWriter.h>

#include <Core/IOException.h>

#include <cstdlib>
#include <iomanip>
#include <ostream>
#include <vector>

namespace Orvid::Compare {
namespace {

namespace fs = std::filesystem;
using FileIoInterface::Las::LasPoint;
using FileIoInterface::Las::LasWriter;
using SyntheticSurvey::ChangePlan;
using SyntheticSurvey::LegGenerator;
using SyntheticSurvey::PlantedChanges;
using SyntheticSurvey::SurveyParameters;
using SyntheticSurvey::SurveyPoint;

const SurveyParameters DEMO_SURVEY{3, 100000, 2026};
// Moved 5 cm, reclassified, one extra attribute altered, dropped and added.
const ChangePlan DEMO_CHANGES{0.01, 0.01, 0.005, 0.005, 0.005, 0.05};

// The survey's coordinate system, as a delivery of point format 7 declares it: OGC WKT.
constexpr const char* DEMO_WKT =
    "PROJCS[\"WGS 84 / UTM zone 33N\",GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,"
    "298.257223563,AUTHORITY[\"EPSG\",\"7030\"]],AUTHORITY[\"EPSG\",\"6326\"]],PRIMEM[\"Greenwich\",0],"
    "UNIT[\"degree\",0.0174532925199433],AUTHORITY[\"EPSG\",\"4326\"]],PROJECTION[\"Transverse_Mercator\"],"
    "PARAMETER[\"latitude_of_origin\",0],PARAMETER[\"central_meridian\",15],PARAMETER[\"scale_factor\",0."
    "9996],"
    "PARAMETER[\"false_easting\",500000],PARAMETER[\"false_northing\",0],UNIT[\"metre\",1],"
    "AXIS[\"Easting\",EAST],AXIS[\"Northing\",NORTH],AUTHORITY[\"EPSG\",\"32633\"]]";

FileIoInterface::Las::LasCarriedFields demoHeaderFields() {
    FileIoInterface::Las::LasCarriedFields carried;
    carried.scaleOffset = {{0.01, 0.01, 0.01}, {500000.0, 4600000.0, 0.0}};
    carried.adjustedStandardGpsTime = true;
    carried.wktCoordinateSystem = true;
    const std::string wkt = DEMO_WKT;
    std::vector<std::uint8_t> payload(wkt.begin(), wkt.end());
    payload.push_back(0);
    carried.coordinateSystemRecords.push_back({"LASF_Projection", 2112, "OGC WKT", std::move(payload)});
    return carried;
}

fs::path newTemporaryFolder() {
    std::string pattern = (fs::temp_directory_path() / "orvid-compare-demo-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw Core::IOException(pattern + ": cannot create a temporary folder");
    }
    return pattern;
}

void toLasPoint(const SurveyPoint& generated, LasPoint& point) {
    using FileIoInterface::Attribute::Value;
    point.values.assign({Value{generated.amplitude}, Value{generated.pulseWidth}});
    point.setTime(generated.time);
    point.setX(generated.x);
    point.setY(generated.y);
    point.setZ(generated.z);
    point.setRawIntensity(generated.intensity);
    point.setReturnNumber(generated.returnNumber);
    point.setNbReturns(generated.nbReturns);
    point.setClassification(generated.classification);
    point.setClassificationFlags(generated.classificationFlags);
    point.setScannerChannel(generated.scannerChannel);
    point.setScanDirection(generated.scanDirection);
    point.setEdgeOfFlightLine(generated.edgeOfFlightLine);
    point.setUserData(generated.userData);
    point.setScanAngle(generated.scanAngle);
    point.setSourceId(generated.sourceId);
    point.setColor(generated.color);
}

} // namespace

std::vector<PlantedChanges> writeSurveyAsLas(const fs::path& folder, const SurveyParameters& parameters,
                                             const ChangePlan& plan) {
    FileIoInterface::Las::LasWriterOptions options;
    options.pointFormat = 7;
    options.carried = demoHeaderFields();
    LasWriter writer(folder, options);
    std::vector<PlantedChanges> planted;
    for (std::size_t leg = 0; leg < parameters.legs; ++leg) {
        writer.beginLeg(SyntheticSurvey::legInformation(leg));
        LegGenerator generator(parameters, leg, plan);
        SurveyPoint generated;
        LasPoint point;
        while (generator.next(generated)) {
            toLasPoint(generated, point);
            if (const auto status = writer.write(point); !status) {
                throw Core::IOException(status.message());
            }
        }
        writer.endLeg();
        planted.push_back(generator.planted());
    }
    return planted;
}

DemoSurvey writeDemoSurvey(fs::path folder) {
    if (folder.empty()) {
        folder = newTemporaryFolder();
    }
    DemoSurvey survey{folder, folder / "reference", folder / "test", {}};
    writeSurveyAsLas(survey.reference, DEMO_SURVEY, {});
    for (const PlantedChanges& leg : writeSurveyAsLas(survey.test, DEMO_SURVEY, DEMO_CHANGES)) {
        survey.planted += leg;
    }
    return survey;
}

DemoRun prepareDemo(const CompareOptions& options, std::ostream& out) {
    DemoRun demo{writeDemoSurvey(options.demoDirectory), options};
    const DemoSurvey& survey = demo.survey;
    CompareOptions& compare = demo.options;
    compare.reference = survey.reference;
    compare.test = survey.test;
    if (!compare.outDirectory) {
        compare.outDirectory = survey.folder / "differences";
    }
    if (!compare.jsonFile) {
        compare.jsonFile = survey.folder / "report.json";
    }
    if (!compare.htmlFile) {
        compare.htmlFile = survey.folder / "report.html";
    }
    if (!options.quiet) {
        out << "Demo survey: " << DEMO_SURVEY.legs << " flight legs of " << DEMO_SURVEY.pointsPerLeg
            << " points in " << survey.reference.string() << ",\na changed copy in " << survey.test.string()
            << ".\n\n";
    }
    return demo;
}

int checkDemo(const DemoRun& demo, const ComparisonReport& report, std::ostream& out, std::ostream& err) {
    const PlantedChanges& planted = demo.survey.planted;
    const bool quiet = demo.options.quiet;
    const ClassCounts& found = report.summary.counts;
    const std::vector<std::tuple<DifferenceClass, const char*, std::uint64_t>> expected = {
        {DifferenceClass::removed, "dropped", planted.removed},
        {DifferenceClass::added, "added", planted.added},
        {DifferenceClass::modified, "moved by 5 cm", planted.moved},
        {DifferenceClass::mutated, "reclassified", planted.reclassified},
        {DifferenceClass::altered, "amplitude altered", planted.altered}};
    bool allFound = true;
    if (!quiet) {
        out << "\nPlanted changes and what the comparison found:\n";
    }
    for (const auto& [kind, change, count] : expected) {
        const bool match = found[kind] == count;
        allFound = allFound && match;
        if (!quiet) {
            out << "  " << std::left << std::setw(18) << change << std::right << std::setw(8) << count << "  "
                << std::left << std::setw(9) << nameOf(kind) << std::right << std::setw(8) << found[kind]
                << (match ? "  ok" : "  MISMATCH") << '\n';
        }
    }
    if (!quiet) {
        out << "\nOutputs:\n  differences as LAS: " << demo.options.outDirectory->string()
            << "\n  JSON report:        " << demo.options.jsonFile->string() << '\n';
        out << "  HTML report:        " << demo.options.htmlFile->string() << '\n';
    }
    if (!allFound) {
        err << "orvid-compare: the demo comparison did not find exactly the planted changes\n";
        return 1;
    }
    return 0;
}

} // namespace Orvid::Compare
