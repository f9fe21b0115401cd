#include "Metadata/RecordInventory.h"

#include "Metadata/Fnv1aHash.h"
#include "Metadata/HeaderFields.h"

#include <FileIoInterface/Las/LasVlr.h>

#include <algorithm>
#include <variant>

namespace Orvid::Compare::Metadata {

namespace {

using FileIoInterface::Attribute::DataType;
using FileIoInterface::Attribute::Descriptor;
using FileIoInterface::Las::LasHeader;
using FileIoInterface::Las::LasVlr;

// Enough to tell two payloads of the same size apart in a report.
std::string digestOf(const std::vector<std::uint8_t>& bytes) {
    Fnv1aHash hash;
    hash.add(bytes.data(), bytes.size());
    return hash.hex();
}

std::string describeRecord(const LasVlr& vlr, bool extended) {
    if (extended && isWaveformDataRecord(vlr)) {
        return "waveform data (EVLR)";
    }
    return std::to_string(vlr.payload.size()) + " bytes" + (extended ? " (EVLR)" : "") + ", digest " +
           digestOf(vlr.payload);
}

void addRecords(FieldValues& fields, const std::vector<LasVlr>& records, bool extended) {
    for (const LasVlr& vlr : records) {
        if (FileIoInterface::Las::isExtraBytesRecord(vlr)) {
            continue;
        }
        std::string& value =
            fields[std::string(VLR_FIELD) + " " + vlr.userId + " " + std::to_string(vlr.recordId)];
        value += (value.empty() ? "" : "; ") + describeRecord(vlr, extended);
    }
}

const char* typeName(DataType type) {
    static const char* const NAMES[] = {"untyped", "uint8",  "int8",  "uint16", "int16", "uint32",
                                        "int32",   "uint64", "int64", "float",  "double"};
    const auto index = static_cast<std::size_t>(type);
    return index < std::size(NAMES) ? NAMES[index] : "unknown";
}

std::string text(const FileIoInterface::Attribute::Value& value) {
    return std::visit(
        [](auto number) {
            if constexpr (std::is_floating_point_v<decltype(number)>) {
                return shortest(number);
            } else {
                return std::to_string(number);
            }
        },
        value);
}

std::string describeDescriptor(const Descriptor& descriptor) {
    std::string description = typeName(descriptor.dataType);
    if (descriptor.scale) {
        description += ", scale " + shortest(*descriptor.scale);
    }
    if (descriptor.offset) {
        description += ", offset " + shortest(*descriptor.offset);
    }
    if (descriptor.noData) {
        description += ", no-data " + text(*descriptor.noData);
    }
    return description;
}

bool hasExtraBytesRecord(const LasHeader& header) {
    return std::any_of(header.vlrs.begin(), header.vlrs.end(),
                       [](const LasVlr& vlr) { return FileIoInterface::Las::isExtraBytesRecord(vlr); });
}

} // namespace

FieldValues recordInventoryOf(const LasHeader& header) {
    FieldValues fields;
    addRecords(fields, header.vlrs, false);
    addRecords(fields, header.evlrs, true);
    return fields;
}

FieldValues extraBytesSchemaOf(const LasHeader& header) {
    FieldValues fields;
    const std::size_t bytes = header.pointRecordLength - header.standardRecordLength();
    if (bytes == 0) {
        fields[EXTRA_BYTES_FIELD] = "none";
        return fields;
    }
    if (!hasExtraBytesRecord(header)) {
        fields[EXTRA_BYTES_FIELD] = std::to_string(bytes) + UNDESCRIBED_BYTES;
        return fields;
    }
    std::map<std::string, std::size_t> uses;
    for (const Descriptor& descriptor : header.extraAttributes) {
        ++uses[descriptor.name];
    }
    std::map<std::string, std::size_t> seen;
    std::size_t described = 0;
    for (const Descriptor& descriptor : header.extraAttributes) {
        if (descriptor.dataType == DataType::None && descriptor.name.empty()) {
            continue;
        }
        ++described;
        std::string name = descriptor.name;
        if (uses[name] > 1) {
            name += "[" + std::to_string(seen[descriptor.name]++) + "]";
        }
        fields[std::string(EXTRA_BYTES_FIELD) + " " + name] = describeDescriptor(descriptor);
    }
    fields[EXTRA_BYTES_FIELD] = std::to_string(bytes) + " bytes in " + std::to_string(described) +
                                (described == 1 ? " descriptor" : " descriptors");
    return fields;
}

} // namespace Orvid::Compare::Metadata
