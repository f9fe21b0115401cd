#include "Metadata/MetadataComparison.h"

#include "Metadata/HeaderFields.h"
#include "Metadata/InputCoordinateSystems.h"
#include "Metadata/RecordInventory.h"

#include <algorithm>
#include <map>
#include <set>

namespace Orvid::Compare::Metadata {

namespace {

using FileIoInterface::Las::LasHeader;

constexpr const char* CRS_FIELD = "crs";
constexpr const char* ABSENT = "absent";
constexpr std::uint8_t FIRST_WKT_FORMAT = 6;

/// Leaves out what --ignore-metadata names: a field, or a kind by its name.
class Filter {
public:
    explicit Filter(const std::vector<std::string>& ignored)
        : mIgnored(ignored.begin(), ignored.end()) {}

    bool keeps(const std::string& field, MetadataKind kind) const {
        return mIgnored.count(field) == 0 && mIgnored.count(std::string(nameOf(kind))) == 0;
    }

private:
    std::set<std::string> mIgnored;
};

/// What one input's files say, read once.
struct InputRecords {
    std::vector<FieldValues> inventories;
    std::vector<FieldValues> schemas;

    explicit InputRecords(const std::vector<LasHeader>& headers) {
        for (const LasHeader& header : headers) {
            inventories.push_back(recordInventoryOf(header));
            schemas.push_back(extraBytesSchemaOf(header));
        }
    }
};

std::string valueOf(const FieldValues& fields, const std::string& name) {
    const auto found = fields.find(name);
    return found == fields.end() ? ABSENT : found->second;
}

/// The input's value of each field of `perFile`: the distinct values over its files, a file without the
/// field counting as "absent".
FieldValues overFiles(const std::vector<FieldValues>& perFile) {
    std::set<std::string> names;
    for (const FieldValues& fields : perFile) {
        for (const auto& field : fields) {
            names.insert(field.first);
        }
    }
    FieldValues values;
    for (const std::string& name : names) {
        std::vector<std::string> fileValues;
        fileValues.reserve(perFile.size());
        for (const FieldValues& fields : perFile) {
            fileValues.push_back(valueOf(fields, name));
        }
        values[name] = distinctValues(fileValues);
    }
    return values;
}

MetadataKind kindOf(const std::string& field) {
    return field.rfind(EXTRA_BYTES_FIELD, 0) == 0 ? MetadataKind::extraBytes : MetadataKind::vlr;
}

/// Adds a difference for every field of either side whose values differ, `prefix` before its name.
/// Returns the fields that differed.
std::set<std::string> compareFields(const FieldValues& reference, const FieldValues& test,
                                    const std::string& prefix, const Filter& filter,
                                    std::vector<MetadataDifference>& differences) {
    std::set<std::string> names;
    for (const FieldValues* fields : {&reference, &test}) {
        for (const auto& field : *fields) {
            names.insert(field.first);
        }
    }
    // Without descriptors on one side, the schema's own line says it all.
    const bool undescribed =
        valueOf(reference, EXTRA_BYTES_FIELD).find(UNDESCRIBED_BYTES) != std::string::npos ||
        valueOf(test, EXTRA_BYTES_FIELD).find(UNDESCRIBED_BYTES) != std::string::npos;
    std::set<std::string> differing;
    for (const std::string& name : names) {
        const MetadataKind kind = kindOf(name);
        const bool schemaDetail = kind == MetadataKind::extraBytes && name != EXTRA_BYTES_FIELD;
        std::string referenceValue = valueOf(reference, name);
        std::string testValue = valueOf(test, name);
        if (referenceValue == testValue || (schemaDetail && undescribed) || !filter.keeps(name, kind)) {
            continue;
        }
        differing.insert(name);
        differences.push_back({prefix + name, kind, std::move(referenceValue), std::move(testValue)});
    }
    return differing;
}

/// Warns about a field that should be one value for a delivery but differs between an input's files.
void warnAboutMixedValues(const InputHeaders& input, std::vector<std::string>& warnings) {
    for (const HeaderField& field : headerFields()) {
        if (field.aggregation != Aggregation::uniform) {
            continue;
        }
        std::vector<std::pair<std::string, std::uint64_t>> values;
        for (const LasHeader& header : input.headers) {
            const std::string value = field.value(header);
            auto found = std::find_if(values.begin(), values.end(),
                                      [&](const auto& known) { return known.first == value; });
            if (found == values.end()) {
                values.emplace_back(value, 1);
            } else {
                ++found->second;
            }
        }
        if (values.size() < 2) {
            continue;
        }
        std::string text;
        for (const auto& [value, files] : values) {
            text += (text.empty() ? "" : ", ") + value + " (" + std::to_string(files) +
                    (files == 1 ? " file)" : " files)");
        }
        warnings.push_back(std::string(input.role) + " " + input.path.string() + ": its files differ in " +
                           field.name + ": " + text);
    }
}

/// What LAS 1.4 requires of the headers of point formats 6 to 10 that a file may still break.
void checkHeaders(const InputHeaders& input, std::vector<std::string>& warnings) {
    for (std::size_t index = 0; index < input.headers.size(); ++index) {
        const LasHeader& header = input.headers[index];
        if (header.versionMinor < 4 || header.pointFormat < FIRST_WKT_FORMAT) {
            continue;
        }
        const std::string file = input.files[index].string() + ": ";
        if (!header.declaresWktCoordinateSystem()) {
            warnings.push_back(file + "point format " + std::to_string(header.pointFormat) +
                               " requires the WKT bit (global encoding bit 4), which is clear");
        }
        if (header.legacyPointCount != 0) {
            warnings.push_back(file + "LAS 1.4 requires a legacy point count of 0 for point format " +
                               std::to_string(header.pointFormat) + ", the header has " +
                               std::to_string(header.legacyPointCount));
        }
    }
}

void compareHeaderFields(const std::array<const InputHeaders*, 2>& inputs, const Filter& filter,
                         MetadataComparison& comparison, std::set<std::string>& differing) {
    for (const HeaderField& field : headerFields()) {
        std::array<std::string, 2> values;
        for (std::size_t side = 0; side < 2; ++side) {
            values[side] = inputValue(field, inputs[side]->headers);
            comparison.report.inputs[side].fields.emplace_back(field.name, values[side]);
        }
        if (values[0] != values[1] && filter.keeps(field.name, MetadataKind::header)) {
            differing.insert(field.name);
            comparison.report.differences.push_back({field.name, MetadataKind::header, values[0], values[1]});
        }
    }
}

void compareCoordinateSystems(const std::array<InputCoordinateSystems, 2>& systems, const Filter& filter,
                              MetadataComparison& comparison) {
    for (std::size_t side = 0; side < 2; ++side) {
        comparison.report.inputs[side].coordinateSystems = systems[side].summary();
        comparison.report.inputs[side].filesWithoutCoordinateSystem = systems[side].filesWithout();
    }
    if (systems[0].sameAs(systems[1]) || !filter.keeps(CRS_FIELD, MetadataKind::crs)) {
        return;
    }
    std::string reference = systems[0].describe();
    std::string test = systems[1].describe();
    if (reference == test) {
        test += " (the same name, another definition)";
    }
    comparison.report.differences.push_back({CRS_FIELD, MetadataKind::crs, reference, test});
}

/// Files of the same name in two folders, compared on the fields whose input values agreed.
void compareFilePairs(const std::array<const InputHeaders*, 2>& inputs,
                      const std::array<InputCoordinateSystems, 2>& systems,
                      const std::array<InputRecords, 2>& records, const std::set<std::string>& differing,
                      const Filter& filter, MetadataComparison& comparison) {
    std::map<std::string, std::size_t> testFiles;
    for (std::size_t index = 0; index < inputs[1]->files.size(); ++index) {
        testFiles[inputs[1]->files[index].filename().string()] = index;
    }
    auto& differences = comparison.report.differences;
    for (std::size_t index = 0; index < inputs[0]->files.size(); ++index) {
        const std::string name = inputs[0]->files[index].filename().string();
        const auto found = testFiles.find(name);
        if (found == testFiles.end()) {
            continue;
        }
        const std::size_t other = found->second;
        const std::string prefix = name + ": ";
        const LasHeader& reference = inputs[0]->headers[index];
        const LasHeader& test = inputs[1]->headers[other];
        for (const HeaderField& field : headerFields()) {
            std::string referenceValue = field.value(reference);
            std::string testValue = field.value(test);
            if (differing.count(field.name) == 0 && referenceValue != testValue &&
                filter.keeps(field.name, MetadataKind::header)) {
                differences.push_back({prefix + field.name, MetadataKind::header, referenceValue, testValue});
            }
        }
        const auto& referenceSystem = systems[0].files()[index];
        const auto& testSystem = systems[1].files()[other];
        if (differing.count(CRS_FIELD) == 0 && !sameSystem(referenceSystem, testSystem) &&
            filter.keeps(CRS_FIELD, MetadataKind::crs)) {
            differences.push_back({prefix + CRS_FIELD, MetadataKind::crs,
                                   InputCoordinateSystems::describeFile(referenceSystem),
                                   InputCoordinateSystems::describeFile(testSystem)});
        }
        std::vector<MetadataDifference> pairDifferences;
        FieldValues referenceRecords = records[0].inventories[index];
        FieldValues testRecords = records[1].inventories[other];
        referenceRecords.insert(records[0].schemas[index].begin(), records[0].schemas[index].end());
        testRecords.insert(records[1].schemas[other].begin(), records[1].schemas[other].end());
        compareFields(referenceRecords, testRecords, prefix, filter, pairDifferences);
        for (MetadataDifference& difference : pairDifferences) {
            if (differing.count(difference.field.substr(prefix.size())) == 0) {
                differences.push_back(std::move(difference));
            }
        }
    }
}

} // namespace

MetadataComparison compareMetadata(const InputHeaders& reference, const InputHeaders& test,
                                   const std::vector<std::string>& ignored) {
    const Filter filter(ignored);
    const std::array<const InputHeaders*, 2> inputs = {&reference, &test};
    MetadataComparison comparison;
    CrsContext context;
    std::array<InputCoordinateSystems, 2> systems = {
        InputCoordinateSystems(context, reference.role, reference.path, reference.files, reference.headers,
                               comparison.warnings),
        InputCoordinateSystems(context, test.role, test.path, test.files, test.headers, comparison.warnings)};
    for (const InputHeaders* input : inputs) {
        warnAboutMixedValues(*input, comparison.warnings);
        checkHeaders(*input, comparison.warnings);
    }
    std::set<std::string> differing;
    compareCoordinateSystems(systems, filter, comparison);
    if (!comparison.report.differences.empty()) {
        differing.insert(CRS_FIELD);
    }
    compareHeaderFields(inputs, filter, comparison, differing);
    const std::array<InputRecords, 2> records = {InputRecords(reference.headers), InputRecords(test.headers)};
    FieldValues referenceRecords = overFiles(records[0].inventories);
    FieldValues testRecords = overFiles(records[1].inventories);
    const FieldValues referenceSchema = overFiles(records[0].schemas);
    const FieldValues testSchema = overFiles(records[1].schemas);
    referenceRecords.insert(referenceSchema.begin(), referenceSchema.end());
    testRecords.insert(testSchema.begin(), testSchema.end());
    const std::set<std::string> differingRecords =
        compareFields(referenceRecords, testRecords, "", filter, comparison.report.differences);
    differing.insert(differingRecords.begin(), differingRecords.end());
    if (reference.folder && test.folder) {
        compareFilePairs(inputs, systems, records, differing, filter, comparison);
    }
    return comparison;
}

std::vector<std::string> ignorableMetadataNames() {
    std::vector<std::string> names = {CRS_FIELD, VLR_FIELD, EXTRA_BYTES_FIELD};
    for (const HeaderField& field : headerFields()) {
        names.emplace_back(field.name);
    }
    return names;
}

std::string_view nameOf(MetadataKind kind) {
    switch (kind) {
    case MetadataKind::crs:
        return "crs";
    case MetadataKind::header:
        return "header";
    case MetadataKind::vlr:
        return "vlr";
    case MetadataKind::extraBytes:
        return "extraBytes";
    }
    return "header";
}

bool MetadataReport::has(MetadataKind kind) const {
    return std::any_of(differences.begin(), differences.end(),
                       [kind](const MetadataDifference& difference) { return difference.kind == kind; });
}

} // namespace Orvid::Compare::Metadata
