#include "Metadata/CoordinateSystem.h"
#include "Metadata/GeoTiffKeys.h"
#include "Metadata/MetadataReport.h"
#include "Metadata/ProjLibrary.h"

#include <charconv>
#include <exception>
#include <string_view>
#include <utility>

namespace Orvid::Compare::Metadata {

using FileIoInterface::Las::LasCoordinateSystemRecords;
using FileIoInterface::Las::LasLocatedRecord;

namespace {

// A WKT1 GEOGCS without AXIS nodes has longitude first, the registry's system latitude first: the same
// system, as a LAS file's X is longitude either way.
constexpr PJ_COMPARISON_CRITERION CRITERION = PJ_COMP_EQUIVALENT_EXCEPT_AXIS_ORDER_GEOGCRS;

struct PjDeleter {
    const ProjLibrary* proj = nullptr;
    void operator()(PJ* object) const { proj->destroy(object); }
};
using PjPointer = std::unique_ptr<PJ, PjDeleter>;

/// A PROJ context and the last error PROJ logged in it, which PROJ would otherwise print to standard error.
struct ProjContext {
    /// Null when PROJ could not be loaded; the context is null then too.
    std::shared_ptr<const ProjLibrary> proj;
    PJ_CONTEXT* context = nullptr;
    std::string lastError;
    /// Why PROJ cannot open its database; empty when it can.
    std::string databaseProblem;

    ProjContext() = default;
    ProjContext(const ProjContext&) = delete;
    ProjContext& operator=(const ProjContext&) = delete;
    ~ProjContext() {
        if (context != nullptr) {
            proj->contextDestroy(context);
        }
    }

    /// Owns `object`, made in this context.
    PjPointer own(PJ* object) const { return PjPointer(object, PjDeleter{proj.get()}); }

    /// The last error PROJ logged, or a placeholder; clears it.
    std::string takeError() {
        std::string error = lastError.empty() ? std::string("PROJ gave no reason") : std::move(lastError);
        lastError.clear();
        return error;
    }
};

/// A PROJ object with the context it was built in, which must outlive it.
struct ProjObject {
    std::shared_ptr<ProjContext> context;
    PjPointer object;
};

// PROJ's messages start with the name of the function that failed, which says nothing to our users.
void keepLastError(void* data, int level, const char* message) {
    if (level != PJ_LOG_ERROR || message == nullptr) {
        return;
    }
    const std::string_view text(message);
    const std::size_t colon = text.find(": ");
    const bool named =
        colon != std::string_view::npos && text.substr(0, colon).find(' ') == std::string_view::npos;
    static_cast<ProjContext*>(data)->lastError = std::string(named ? text.substr(colon + 2) : text);
}

std::shared_ptr<ProjContext> openContext(const std::string* databasePath) {
    auto context = std::make_shared<ProjContext>();
    try {
        context->proj = std::make_shared<const ProjLibrary>();
    } catch (const std::exception& error) {
        context->databaseProblem = error.what();
        return context;
    }
    const ProjLibrary& proj = *context->proj;
    context->context = proj.contextCreate();
    if (context->context == nullptr) {
        context->databaseProblem = "PROJ could not create a context";
        return context;
    }
    proj.logFunc(context->context, context.get(), keepLastError);
    proj.logLevel(context->context, PJ_LOG_ERROR);
    // A failed proj_context_set_database_path leaves the database PROJ found by itself in place.
    if (databasePath != nullptr &&
        proj.contextSetDatabasePath(context->context, databasePath->c_str(), nullptr, nullptr) == 0) {
        context->databaseProblem =
            "PROJ could not open the database " + *databasePath + ": " + context->takeError();
    } else if (proj.contextGetDatabasePath(context->context) == nullptr) {
        context->databaseProblem = "PROJ could not open its database: " + context->takeError();
    }
    return context;
}

PjPointer fromRegistry(ProjContext& context, int code) {
    return context.own(context.proj->createFromDatabase(context.context, "EPSG", std::to_string(code).c_str(),
                                                        PJ_CATEGORY_CRS, 0, nullptr));
}

/// PROJ's system for `codes`; null, with the reason logged in `context`, when PROJ cannot build it.
PjPointer systemOfCodes(ProjContext& context, const GeoKeyCodes& codes) {
    PjPointer horizontal = fromRegistry(context, codes.horizontal);
    if (horizontal == nullptr || !codes.vertical) {
        return horizontal;
    }
    const PjPointer vertical = fromRegistry(context, *codes.vertical);
    if (vertical == nullptr) {
        return nullptr;
    }
    const ProjLibrary& proj = *context.proj;
    const std::string name =
        std::string(proj.getName(horizontal.get())) + " + " + proj.getName(vertical.get());
    return context.own(
        proj.createCompoundCrs(context.context, name.c_str(), horizontal.get(), vertical.get()));
}

/// Appends `record`'s payload, marked present or not and prefixed with its size.
void appendRecord(std::vector<std::uint8_t>& bytes, const std::optional<LasLocatedRecord>& record) {
    bytes.push_back(record ? 1 : 0);
    const std::vector<std::uint8_t>& payload = payloadOf(record);
    const std::uint64_t size = payload.size();
    for (unsigned shift = 0; shift < 64; shift += 8) {
        bytes.push_back(static_cast<std::uint8_t>(size >> shift));
    }
    bytes.insert(bytes.end(), payload.begin(), payload.end());
}

/// The three records' bytes after a tag of their kind, so that different records never give the same
/// bytes.
std::vector<std::uint8_t> geoTiffBytes(const LasCoordinateSystemRecords& records) {
    std::vector<std::uint8_t> bytes{'G'};
    appendRecord(bytes, records.geoKeyDirectory);
    appendRecord(bytes, records.geoDoubleParams);
    appendRecord(bytes, records.geoAsciiParams);
    return bytes;
}

std::string sourceOf(const char* kind, const LasLocatedRecord& record) {
    return record.extended ? std::string(kind) + " (EVLR)" : std::string(kind);
}

/// The name a WKT gives its system: the first quoted text; "WKT" when there is none.
std::string nameInWkt(const std::string& wkt) {
    const std::size_t open = wkt.find('"');
    const std::size_t close = open == std::string::npos ? open : wkt.find('"', open + 1);
    return close == std::string::npos || close == open + 1 ? std::string("WKT")
                                                           : wkt.substr(open + 1, close - open - 1);
}

/// PROJ's grammar errors joined, each without the excerpt of the WKT that follows it on lines of its
/// own; destroys the list.
std::string takeGrammarErrors(const ProjLibrary& proj, PROJ_STRING_LIST errors) {
    constexpr std::string_view EXCERPT_INTRODUCTION = " Error occurred around:";
    std::string joined;
    for (PROJ_STRING_LIST error = errors; error != nullptr && *error != nullptr; ++error) {
        std::string_view text(*error);
        text = text.substr(0, text.find('\n'));
        if (text.size() >= EXCERPT_INTRODUCTION.size() &&
            text.substr(text.size() - EXCERPT_INTRODUCTION.size()) == EXCERPT_INTRODUCTION) {
            text.remove_suffix(EXCERPT_INTRODUCTION.size());
        }
        joined += (joined.empty() ? "" : "; ") + std::string(text);
    }
    proj.stringListDestroy(errors);
    return joined;
}

std::optional<int> epsgIdOf(const ProjLibrary& proj, const PJ* object) {
    const char* authority = proj.getIdAuthName(object, 0);
    const char* code = proj.getIdCode(object, 0);
    int value = 0;
    if (authority == nullptr || code == nullptr || std::string_view(authority) != "EPSG" ||
        std::from_chars(code, code + std::string_view(code).size(), value).ec != std::errc()) {
        return std::nullopt;
    }
    return value;
}

/// The EPSG code of the first system that PROJ identifies `object` with, with confidence 100.
std::optional<int> certainEpsg(ProjContext& context, const PJ* object) {
    const ProjLibrary& proj = *context.proj;
    int* confidences = nullptr;
    PJ_OBJ_LIST* candidates = proj.identify(context.context, object, "EPSG", nullptr, &confidences);
    std::optional<int> code;
    const int count = candidates == nullptr ? 0 : proj.listGetCount(candidates);
    // Candidates come by decreasing confidence.
    for (int index = 0; index < count && !code && confidences[index] == 100; ++index) {
        const PjPointer candidate = context.own(proj.listGet(context.context, candidates, index));
        code = candidate == nullptr ? std::nullopt : epsgIdOf(proj, candidate.get());
    }
    proj.intListDestroy(confidences);
    proj.listDestroy(candidates);
    return code;
}

/// The system that a bound system (a system with a transformation to WGS 84, which a WKT1 TOWGS84
/// clause makes) wraps; null for any other.
PjPointer wrappedSystem(const ProjContext& context, const PJ* object) {
    const ProjLibrary& proj = *context.proj;
    return context.own(proj.getType(object) == PJ_TYPE_BOUND_CRS ? proj.getSourceCrs(context.context, object)
                                                                 : nullptr);
}

/// The code of `object`, else of the system it wraps, else of a compound system's horizontal part.
std::optional<int> epsgOf(ProjContext& context, const PJ* object) {
    const PjPointer wrapped = wrappedSystem(context, object);
    const PJ* system = wrapped != nullptr ? wrapped.get() : object;
    if (const std::optional<int> code = certainEpsg(context, system)) {
        return code;
    }
    if (context.proj->getType(system) != PJ_TYPE_COMPOUND_CRS) {
        return std::nullopt;
    }
    const PjPointer horizontal = context.own(context.proj->crsGetSubCrs(context.context, system, 0));
    return horizontal == nullptr ? std::nullopt : certainEpsg(context, horizontal.get());
}

bool equivalentSystems(const ProjObject& first, const ProjObject& second) {
    const ProjContext& context = *first.context;
    const PjPointer firstWrapped = wrappedSystem(context, first.object.get());
    const PjPointer secondWrapped = wrappedSystem(context, second.object.get());
    // A TOWGS84 clause says how to reach WGS 84, not where the coordinates are: GDAL writes it for some
    // systems and not others, so it counts only when both have one.
    const bool unwrap = (firstWrapped == nullptr) != (secondWrapped == nullptr);
    const PJ* left = unwrap && firstWrapped != nullptr ? firstWrapped.get() : first.object.get();
    const PJ* right = unwrap && secondWrapped != nullptr ? secondWrapped.get() : second.object.get();
    return context.proj->isEquivalentToWithCtx(context.context, left, right, CRITERION) != 0;
}

} // namespace

/// Builds coordinate systems with PROJ and compares them: what a CoordinateSystem holds is set here only.
struct CoordinateSystemBuilder {
    static CoordinateSystem fromGeoTiff(const std::shared_ptr<ProjContext>& context,
                                        const LasCoordinateSystemRecords& records);
    static CoordinateSystem fromWkt(const std::shared_ptr<ProjContext>& context,
                                    const LasCoordinateSystemRecords& records);
    static bool equivalent(const CoordinateSystem& first, const CoordinateSystem& second);

private:
    /// Makes `object` the system's PROJ object, with its name and code.
    static void adopt(CoordinateSystem& system, const std::shared_ptr<ProjContext>& context,
                      PjPointer object);
};

void CoordinateSystemBuilder::adopt(CoordinateSystem& system, const std::shared_ptr<ProjContext>& context,
                                    PjPointer object) {
    if (const char* name = context->proj->getName(object.get())) {
        system.mName = name;
    }
    system.mEpsg = epsgOf(*context, object.get());
    system.mObject = std::make_shared<ProjObject>(ProjObject{context, std::move(object)});
}

CoordinateSystem CoordinateSystemBuilder::fromGeoTiff(const std::shared_ptr<ProjContext>& context,
                                                      const LasCoordinateSystemRecords& records) {
    // A message left by an earlier call must not explain a failure here.
    context->lastError.clear();
    CoordinateSystem system;
    system.mSource = sourceOf("GeoTIFF keys", *records.geoKeyDirectory);
    system.mRecordBytes = geoTiffBytes(records);
    const GeoKeyDirectory directory = readKeyDirectory(records);
    if (!directory.malformation.empty()) {
        system.mName = "malformed GeoTIFF keys";
        system.mProblem = "its GeoTIFF keys are malformed: " + directory.malformation;
        return system;
    }
    system.mName = citationOf(directory, records);
    const GeoKeyCodes codes = codesOf(directory);
    if (system.mName.empty()) {
        system.mName = codes.unusable.empty() ? epsgNames(codes) : "user-defined GeoTIFF keys";
    }
    system.mProblem = codes.unusable.empty() ? context->databaseProblem : codes.unusable;
    if (!system.mProblem.empty()) {
        return system;
    }
    PjPointer object = systemOfCodes(*context, codes);
    if (object == nullptr) {
        system.mProblem = "PROJ could not build " + epsgNames(codes) + ": " + context->takeError();
        return system;
    }
    adopt(system, context, std::move(object));
    return system;
}

CoordinateSystem CoordinateSystemBuilder::fromWkt(const std::shared_ptr<ProjContext>& context,
                                                  const LasCoordinateSystemRecords& records) {
    // A message left by an earlier call must not explain a failure here.
    context->lastError.clear();
    CoordinateSystem system;
    system.mSource = sourceOf("WKT", *records.wkt);
    const std::string text = records.wktText();
    system.mRecordBytes.push_back('W');
    system.mRecordBytes.insert(system.mRecordBytes.end(), text.begin(), text.end());
    system.mName = nameInWkt(text);
    system.mProblem = text.empty() ? "its WKT is empty" : context->databaseProblem;
    if (!system.mProblem.empty()) {
        return system;
    }
    PROJ_STRING_LIST warnings = nullptr;
    PROJ_STRING_LIST errors = nullptr;
    const ProjLibrary& proj = *context->proj;
    PjPointer object =
        context->own(proj.createFromWkt(context->context, text.c_str(), nullptr, &warnings, &errors));
    proj.stringListDestroy(warnings);
    const std::string grammarErrors = takeGrammarErrors(proj, errors);
    if (object == nullptr) {
        system.mProblem =
            "PROJ could not read its WKT: " + (grammarErrors.empty() ? context->takeError() : grammarErrors);
        return system;
    }
    // PROJ skips what it cannot parse (a vertical system inside a projected one, say): what it built may
    // be less than the WKT says, so such a system compares by its text.
    if (!grammarErrors.empty()) {
        system.mProblem = "PROJ read only part of its WKT: " + grammarErrors;
    }
    adopt(system, context, std::move(object));
    return system;
}

bool CoordinateSystemBuilder::equivalent(const CoordinateSystem& first, const CoordinateSystem& second) {
    if (!first.mProblem.empty() || !second.mProblem.empty()) {
        return !first.mProblem.empty() && !second.mProblem.empty() &&
               first.mRecordBytes == second.mRecordBytes;
    }
    return equivalentSystems(*static_cast<const ProjObject*>(first.mObject.get()),
                             *static_cast<const ProjObject*>(second.mObject.get()));
}

std::string CoordinateSystem::describe() const {
    return describeSystem(mName, mEpsg);
}

bool CoordinateSystem::equivalentTo(const CoordinateSystem& other) const {
    return CoordinateSystemBuilder::equivalent(*this, other);
}

const CoordinateSystem* DeclaredCoordinateSystem::effective() const {
    if (wktBitSet && wkt) {
        return &*wkt;
    }
    if (geoTiff) {
        return &*geoTiff;
    }
    return wkt ? &*wkt : nullptr;
}

std::optional<std::string> DeclaredCoordinateSystem::disagreement() const {
    if (!geoTiff || !wkt || !geoTiff->problem().empty() || !wkt->problem().empty() ||
        geoTiff->equivalentTo(*wkt)) {
        return std::nullopt;
    }
    return "its GeoTIFF keys (" + geoTiff->describe() + ") and its WKT (" + wkt->describe() +
           ") describe different coordinate systems";
}

CrsContext::CrsContext()
    : mContext(openContext(nullptr)) {}

CrsContext::CrsContext(const std::string& databasePath)
    : mContext(openContext(&databasePath)) {}

CrsContext::~CrsContext() = default;

DeclaredCoordinateSystem CrsContext::read(const LasCoordinateSystemRecords& records) {
    const auto context = std::static_pointer_cast<ProjContext>(mContext);
    DeclaredCoordinateSystem declared;
    declared.wktBitSet = records.wktBitSet;
    if (records.hasGeoTiff()) {
        declared.geoTiff = CoordinateSystemBuilder::fromGeoTiff(context, records);
    }
    if (records.hasWkt()) {
        declared.wkt = CoordinateSystemBuilder::fromWkt(context, records);
    }
    return declared;
}

} // namespace Orvid::Compare::Metadata
