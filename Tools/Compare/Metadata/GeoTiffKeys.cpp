#include "Metadata/GeoTiffKeys.h"

namespace Orvid::Compare::Metadata {

using FileIoInterface::Las::LasCoordinateSystemRecords;
using FileIoInterface::Las::LasLocatedRecord;

namespace {

// The GeoTIFF keys read here, and where a key's value lies.
constexpr std::uint16_t GT_CITATION_KEY = 1026;
constexpr std::uint16_t GEOGRAPHIC_TYPE_KEY = 2048;
constexpr std::uint16_t PROJECTED_CS_TYPE_KEY = 3072;
constexpr std::uint16_t PCS_CITATION_KEY = 3073;
constexpr std::uint16_t VERTICAL_CS_TYPE_KEY = 4096;
constexpr std::uint16_t IN_DIRECTORY = 0;
constexpr std::uint16_t IN_DOUBLE_PARAMS = 34736;
constexpr std::uint16_t IN_ASCII_PARAMS = 34737;
constexpr std::uint16_t USER_DEFINED_CODE = 32767;
// A key directory is a header and entries of four 16-bit values each; the header's fourth counts them.
constexpr std::size_t VALUES_PER_ENTRY = 4;
constexpr std::size_t HEADER_VALUES = 4;
constexpr std::size_t KEY_COUNT_VALUE = 3;
constexpr std::size_t DOUBLE_SIZE = 8;

std::uint16_t valueAt(const std::vector<std::uint8_t>& payload, std::size_t index) {
    return static_cast<std::uint16_t>(payload[2 * index] | (payload[2 * index + 1] << 8));
}

/// Why `entry` of key `key` points outside the parameter records; empty when it does not.
std::string outOfBounds(std::uint16_t key, const GeoKeyEntry& entry, std::size_t doublesSize,
                        std::size_t asciiSize) {
    const std::size_t end = std::size_t{entry.value} + entry.count;
    if (entry.location == IN_DOUBLE_PARAMS && end * DOUBLE_SIZE > doublesSize) {
        return "key " + std::to_string(key) + " reads doubles " + std::to_string(entry.value) + " to " +
               std::to_string(end) + " of " + std::to_string(doublesSize / DOUBLE_SIZE);
    }
    if (entry.location == IN_ASCII_PARAMS && end > asciiSize) {
        return "key " + std::to_string(key) + " reads characters " + std::to_string(entry.value) + " to " +
               std::to_string(end) + " of " + std::to_string(asciiSize);
    }
    return {};
}

/// The text of ASCII key `key` without GeoTIFF's '|' terminators and NULs; empty when there is none.
std::string asciiKeyText(const GeoKeyDirectory& directory, const std::vector<std::uint8_t>& ascii,
                         std::uint16_t key) {
    const auto found = directory.entries.find(key);
    if (found == directory.entries.end() || found->second.location != IN_ASCII_PARAMS) {
        return {};
    }
    // In bounds: readKeyDirectory checked it.
    const auto* first = reinterpret_cast<const char*>(ascii.data()) + found->second.value;
    std::string text(first, found->second.count);
    while (!text.empty() && (text.back() == '|' || text.back() == '\0')) {
        text.pop_back();
    }
    return text.substr(0, text.find('\0'));
}

/// Why the code of `key` (whose value is `entry`), named `what`, cannot be looked up; empty if it can.
std::string unusableCode(std::uint16_t key, const GeoKeyEntry& entry, const char* what) {
    const std::string subject = std::string("its ") + what + " (GeoTIFF key " + std::to_string(key) + ")";
    if (entry.location != IN_DIRECTORY) {
        return subject + " is not a code in the key directory";
    }
    if (entry.value == USER_DEFINED_CODE) {
        return subject + " is user-defined, not an EPSG code";
    }
    if (entry.value == 0) {
        return subject + " is undefined";
    }
    return {};
}

} // namespace

const std::vector<std::uint8_t>& payloadOf(const std::optional<LasLocatedRecord>& record) {
    static const std::vector<std::uint8_t> NONE;
    return record ? record->record.payload : NONE;
}

GeoKeyDirectory readKeyDirectory(const LasCoordinateSystemRecords& records) {
    const std::vector<std::uint8_t>& payload = payloadOf(records.geoKeyDirectory);
    GeoKeyDirectory directory;
    const std::size_t values = payload.size() / 2;
    if (values < HEADER_VALUES) {
        directory.malformation = "the key directory holds " + std::to_string(payload.size()) +
                                 " bytes, fewer than its 8-byte header";
        return directory;
    }
    const std::size_t keyCount = valueAt(payload, KEY_COUNT_VALUE);
    if (HEADER_VALUES + keyCount * VALUES_PER_ENTRY > values) {
        directory.malformation = "the key directory declares " + std::to_string(keyCount) +
                                 " keys but holds " +
                                 std::to_string((values - HEADER_VALUES) / VALUES_PER_ENTRY);
        return directory;
    }
    for (std::size_t key = 0; key < keyCount; ++key) {
        const std::size_t first = HEADER_VALUES + key * VALUES_PER_ENTRY;
        const GeoKeyEntry entry{valueAt(payload, first + 1), valueAt(payload, first + 2),
                                valueAt(payload, first + 3)};
        const std::uint16_t id = valueAt(payload, first);
        directory.malformation = outOfBounds(id, entry, payloadOf(records.geoDoubleParams).size(),
                                             payloadOf(records.geoAsciiParams).size());
        if (!directory.malformation.empty()) {
            return directory;
        }
        directory.entries.emplace(id, entry);
    }
    return directory;
}

GeoKeyCodes codesOf(const GeoKeyDirectory& directory) {
    GeoKeyCodes codes;
    const bool projected = directory.entries.count(PROJECTED_CS_TYPE_KEY) != 0;
    const std::uint16_t horizontalKey = projected ? PROJECTED_CS_TYPE_KEY : GEOGRAPHIC_TYPE_KEY;
    const auto horizontal = directory.entries.find(horizontalKey);
    if (horizontal == directory.entries.end()) {
        codes.unusable = "its GeoTIFF keys give neither a projected nor a geographic system";
        return codes;
    }
    codes.unusable =
        unusableCode(horizontalKey, horizontal->second, projected ? "projected system" : "geographic system");
    codes.horizontal = horizontal->second.value;
    const auto vertical = directory.entries.find(VERTICAL_CS_TYPE_KEY);
    if (codes.unusable.empty() && vertical != directory.entries.end()) {
        codes.unusable = unusableCode(VERTICAL_CS_TYPE_KEY, vertical->second, "vertical system");
        codes.vertical = vertical->second.value;
    }
    return codes;
}

std::string epsgNames(const GeoKeyCodes& codes) {
    const std::string horizontal = "EPSG:" + std::to_string(codes.horizontal);
    return codes.vertical ? horizontal + " + EPSG:" + std::to_string(*codes.vertical) : horizontal;
}

std::string citationOf(const GeoKeyDirectory& directory, const LasCoordinateSystemRecords& records) {
    const std::vector<std::uint8_t>& ascii = payloadOf(records.geoAsciiParams);
    const std::string citation = asciiKeyText(directory, ascii, GT_CITATION_KEY);
    return citation.empty() ? asciiKeyText(directory, ascii, PCS_CITATION_KEY) : citation;
}

} // namespace Orvid::Compare::Metadata
