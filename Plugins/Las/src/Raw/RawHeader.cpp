#include "Raw/RawHeader.h"

#include "Raw/ByteCursor.h"

#include <algorithm>
#include <limits>
#include <tuple>
#include <type_traits>

namespace Orvid::FileIoInterface::Las::Raw {

namespace {

// The field list, in on-disk order, once for both directions: `field` moves one field between the
// header and a byte cursor.
template <typename Header, typename Field>
constexpr void visitFields(Header& header, std::size_t size, Field&& field) {
    field(header.signature);
    field(header.fileSourceId);
    field(header.globalEncoding);
    field(header.projectId);
    field(header.versionMajor);
    field(header.versionMinor);
    field(header.systemIdentifier);
    field(header.generatingSoftware);
    field(header.creationDayOfYear);
    field(header.creationYear);
    field(header.headerSize);
    field(header.offsetToPointData);
    field(header.numberOfVlrs);
    field(header.pointFormat);
    field(header.pointRecordLength);
    field(header.legacyPointCount);
    field(header.legacyPointsByReturn);
    field(header.scale);
    field(header.offset);
    field(header.bounds);
    if (size >= HEADER_SIZE_1_3) {
        field(header.waveformDataStart);
    }
    if (size >= HEADER_SIZE_1_4) {
        field(header.firstEvlrStart);
        field(header.numberOfEvlrs);
        field(header.pointCount);
        field(header.pointsByReturn);
    }
}

template <typename T>
struct IsArray : std::false_type {};
template <typename T, std::size_t N>
struct IsArray<std::array<T, N>> : std::true_type {};

constexpr std::size_t encodedSize(std::size_t size) {
    RawHeader header;
    std::size_t total = 0;
    visitFields(header, size, [&total](const auto& field) { total += sizeof(field); });
    return total;
}

static_assert(encodedSize(HEADER_SIZE_1_0) == HEADER_SIZE_1_0);
static_assert(encodedSize(HEADER_SIZE_1_3) == HEADER_SIZE_1_3);
static_assert(encodedSize(HEADER_SIZE_1_4) == HEADER_SIZE_1_4);

} // namespace

RawHeader decodeRawHeader(const std::uint8_t* bytes, std::size_t available) {
    // Decoding from a zero-filled copy makes every field that the file lacks read as zero.
    std::array<std::uint8_t, HEADER_SIZE_1_4> padded{};
    std::copy_n(bytes, std::min(available, padded.size()), padded.begin());
    ByteReader reader(padded.data());
    RawHeader header;
    visitFields(header, HEADER_SIZE_1_4, [&reader](auto& field) {
        using T = std::decay_t<decltype(field)>;
        if constexpr (IsArray<T>::value) {
            field = reader.readArray<typename T::value_type, std::tuple_size_v<T>>();
        } else {
            field = reader.read<T>();
        }
    });
    return header;
}

void encodeRawHeader(const RawHeader& header, std::uint8_t* bytes, std::size_t size) {
    ByteWriter writer(bytes);
    visitFields(header, size, [&writer](const auto& field) {
        using T = std::decay_t<decltype(field)>;
        if constexpr (IsArray<T>::value) {
            writer.writeArray(field);
        } else {
            writer.write(field);
        }
    });
}

void setPointCounts(RawHeader& header, std::uint64_t count, const std::array<std::uint64_t, 15>& byReturn) {
    const bool legacyFits = count <= std::numeric_limits<std::uint32_t>::max();
    const bool legacy =
        legacyFits && (header.versionMinor < 4 || (header.pointFormat & POINT_FORMAT_NUMBER_BITS) < 6);
    header.legacyPointCount = legacy ? static_cast<std::uint32_t>(count) : 0;
    for (std::size_t index = 0; index < header.legacyPointsByReturn.size(); ++index) {
        header.legacyPointsByReturn[index] = legacy ? static_cast<std::uint32_t>(byReturn[index]) : 0;
    }
    header.pointCount = count;
    header.pointsByReturn = byReturn;
}

} // namespace Orvid::FileIoInterface::Las::Raw
