#include "Metadata/HeaderFields.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <sstream>

namespace Orvid::Compare::Metadata {

namespace {

using FileIoInterface::Las::LasHeader;
using FileIoInterface::Las::Xyz;

namespace GlobalEncoding = FileIoInterface::Las::GlobalEncoding;

std::string triple(const Xyz& values) {
    return shortest(values.x) + " " + shortest(values.y) + " " + shortest(values.z);
}

template <typename Count, std::size_t N>
std::string countList(const std::array<Count, N>& counts, std::size_t size) {
    std::string text;
    for (std::size_t index = 0; index < size; ++index) {
        text += (index == 0 ? "" : " ") + std::to_string(counts[index]);
    }
    return text;
}

std::string bit(const LasHeader& header, std::uint16_t mask) {
    return (header.globalEncoding & mask) != 0 ? "set" : "clear";
}

std::string version(const LasHeader& header) {
    return std::to_string(header.versionMajor) + "." + std::to_string(header.versionMinor);
}

std::string waveformData(const LasHeader& header) {
    const bool internal = (header.globalEncoding & GlobalEncoding::WAVEFORM_INTERNAL) != 0;
    const bool external = (header.globalEncoding & GlobalEncoding::WAVEFORM_EXTERNAL) != 0;
    return internal && external ? "internal and external"
           : internal           ? "internal"
           : external           ? "external"
                                : "none";
}

std::string projectId(const LasHeader& header) {
    std::string text;
    std::array<char, 3> digits{};
    for (std::size_t index = 0; index < header.projectId.size(); ++index) {
        if (index == 4 || index == 6 || index == 8 || index == 10) {
            text += '-';
        }
        std::snprintf(digits.data(), digits.size(), "%02x", header.projectId[index]);
        text += digits.data();
    }
    return text;
}

// Past LAS 1.3 the 64-bit counts cover returns 1 to 15; before, the legacy fields cover 1 to 5.
std::size_t returnsCounted(const LasHeader& header) {
    return header.versionMinor >= 4 ? header.pointsByReturn.size() : header.legacyPointsByReturn.size();
}

const std::vector<HeaderField> FIELDS = {
    {"version", Aggregation::uniform, version},
    {"pointFormat", Aggregation::uniform,
     [](const LasHeader& header) { return std::to_string(header.pointFormat); }},
    {"pointRecordLength", Aggregation::uniform,
     [](const LasHeader& header) { return std::to_string(header.pointRecordLength); }},
    {"scale", Aggregation::uniform, [](const LasHeader& header) { return triple(header.scale); }},
    {"offset", Aggregation::listed, [](const LasHeader& header) { return triple(header.offset); }},
    {"timeStandard", Aggregation::uniform,
     [](const LasHeader& header) {
         return std::string((header.globalEncoding & GlobalEncoding::ADJUSTED_STANDARD_GPS_TIME) != 0
                                ? "adjusted standard GPS time"
                                : "GPS week time");
     }},
    {"wktBit", Aggregation::uniform,
     [](const LasHeader& header) { return bit(header, GlobalEncoding::WKT); }},
    {"waveformData", Aggregation::uniform, waveformData},
    {"syntheticReturnNumbers", Aggregation::uniform,
     [](const LasHeader& header) { return bit(header, GlobalEncoding::SYNTHETIC_RETURN_NUMBERS); }},
    {"fileSourceId", Aggregation::listed,
     [](const LasHeader& header) { return std::to_string(header.fileSourceId); }},
    {"systemIdentifier", Aggregation::listed,
     [](const LasHeader& header) { return header.systemIdentifier; }},
    {"generatingSoftware", Aggregation::listed,
     [](const LasHeader& header) { return header.generatingSoftware; }},
    {"projectId", Aggregation::listed, projectId},
    {"creationDate", Aggregation::listed,
     [](const LasHeader& header) {
         return "day " + std::to_string(header.creationDayOfYear) + " of " +
                std::to_string(header.creationYear);
     }},
    {"pointCount", Aggregation::summed,
     [](const LasHeader& header) { return std::to_string(header.pointCount); }},
    {"pointsByReturn", Aggregation::summed,
     [](const LasHeader& header) { return countList(header.pointsByReturn, returnsCounted(header)); }},
    {"legacyPointCount", Aggregation::summed,
     [](const LasHeader& header) { return std::to_string(header.legacyPointCount); }},
    {"legacyPointsByReturn", Aggregation::summed,
     [](const LasHeader& header) { return countList(header.legacyPointsByReturn, 5); }},
    {"bounds", Aggregation::bounds,
     [](const LasHeader& header) { return "min " + triple(header.min) + ", max " + triple(header.max); }},
};

std::vector<std::uint64_t> numbersIn(const std::string& text) {
    std::vector<std::uint64_t> numbers;
    std::istringstream stream(text);
    std::uint64_t number = 0;
    while (stream >> number) {
        numbers.push_back(number);
    }
    return numbers;
}

std::string summed(const HeaderField& field, const std::vector<LasHeader>& headers) {
    std::vector<std::uint64_t> totals;
    for (const LasHeader& header : headers) {
        const std::vector<std::uint64_t> numbers = numbersIn(field.value(header));
        totals.resize(std::max(totals.size(), numbers.size()));
        for (std::size_t index = 0; index < numbers.size(); ++index) {
            totals[index] += numbers[index];
        }
    }
    std::string text;
    for (std::size_t index = 0; index < totals.size(); ++index) {
        text += (index == 0 ? "" : " ") + std::to_string(totals[index]);
    }
    return text;
}

std::string boundsOver(const std::vector<LasHeader>& headers) {
    Xyz low = headers.front().min;
    Xyz high = headers.front().max;
    for (const LasHeader& header : headers) {
        low = {std::min(low.x, header.min.x), std::min(low.y, header.min.y), std::min(low.z, header.min.z)};
        high = {std::max(high.x, header.max.x), std::max(high.y, header.max.y),
                std::max(high.z, header.max.z)};
    }
    return "min " + triple(low) + ", max " + triple(high);
}

} // namespace

std::string shortest(double value) {
    std::array<char, 32> text{};
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value);
    return {text.data(), result.ptr};
}

std::string shortest(float value) {
    std::array<char, 32> text{};
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value);
    return {text.data(), result.ptr};
}

const std::vector<HeaderField>& headerFields() {
    return FIELDS;
}

std::string inputValue(const HeaderField& field, const std::vector<LasHeader>& headers) {
    switch (field.aggregation) {
    case Aggregation::summed:
        return summed(field, headers);
    case Aggregation::bounds:
        return boundsOver(headers);
    case Aggregation::uniform:
    case Aggregation::listed:
        break;
    }
    std::vector<std::string> values;
    values.reserve(headers.size());
    for (const LasHeader& header : headers) {
        values.push_back(field.value(header));
    }
    return distinctValues(values);
}

std::string distinctValues(const std::vector<std::string>& values) {
    std::vector<const std::string*> distinct;
    for (const std::string& value : values) {
        if (std::none_of(distinct.begin(), distinct.end(),
                         [&](const std::string* known) { return *known == value; })) {
            distinct.push_back(&value);
        }
    }
    std::string text;
    for (std::size_t index = 0; index < distinct.size(); ++index) {
        text += (index == 0 ? "" : " | ") + *distinct[index];
    }
    return text;
}

} // namespace Orvid::Compare::Metadata
