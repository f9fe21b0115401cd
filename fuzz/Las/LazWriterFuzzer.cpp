// Round-trips arbitrary point records through the writer's LAZ output: the first bytes choose the point
// format, the extra bytes, the chunk size and the threads, the rest are the records of a LAS file. Its
// points, as the reader reads them, are written as LAS and as LAZ; the LAZ file must decode to exactly
// the records of the LAS file.
#include "LazChunkFiles.h"
#include "Raw/PointFormat.h"
#include "Raw/RawHeader.h"

#include <Core/IOException.h>
#include <FileIoInterface/Las/LasHeader.h>
#include <FileIoInterface/Las/LasReader.h>
#include <FileIoInterface/Las/LasWriter.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace Orvid::FileIoInterface;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t CHOICE_BYTES = 4;
constexpr std::size_t MAX_POINTS = 4096;

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "LAZ writer fuzzer: %s\n", what);
        std::abort();
    }
}

/// A LAS 1.4 file of `points` records of `format` (`recordLength` bytes each) taken from `records`.
Bytes lasFileOf(std::uint8_t format, std::uint16_t recordLength, const std::uint8_t* records,
                std::size_t points) {
    Las::Raw::RawHeader header;
    header.signature = {'L', 'A', 'S', 'F'};
    header.versionMajor = 1;
    header.versionMinor = 4;
    header.headerSize = static_cast<std::uint16_t>(Las::Raw::HEADER_SIZE_1_4);
    header.offsetToPointData = header.headerSize;
    header.pointFormat = format;
    header.pointRecordLength = recordLength;
    header.scale = {0.01, 0.01, 0.01};
    Las::Raw::setPointCounts(header, points, {});
    Bytes file(header.headerSize);
    Las::Raw::encodeRawHeader(header, file.data(), file.size());
    file.insert(file.end(), records, records + points * recordLength);
    return file;
}

/// Writes the points of `source` with `options`; the file written.
std::filesystem::path rewrite(const std::filesystem::path& source, const std::filesystem::path& folder,
                              Las::LasWriterOptions options) {
    Las::LasReader reader({source});
    options.pointFormat = reader.header(0).pointFormat;
    options.scaleOffset = Las::LasScaleOffset{reader.header(0).scale, reader.header(0).offset};
    Las::LasWriter writer(folder, options);
    writer.beginLeg(reader.nextLeg());
    Las::LasPoint point;
    while (reader.hasMorePoints()) {
        reader.readPoint(point);
        writer.write(point);
    }
    writer.endLeg();
    return writer.writtenFiles().at(0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < CHOICE_BYTES) {
        return 0;
    }
    const auto format = static_cast<std::uint8_t>(data[0] % (Las::Raw::MAX_POINT_FORMAT + 1));
    const auto recordLength =
        static_cast<std::uint16_t>(Las::Raw::POINT_FORMATS[format].standardLength + data[1] % 8);
    Las::LasWriterOptions laz;
    laz.compression = Las::LasCompression::Laz;
    laz.lazChunkPoints = 1 + data[2] % 64u;
    laz.threads = 1 + data[3] % 2u;
    const std::size_t points = std::min((size - CHOICE_BYTES) / recordLength, MAX_POINTS);

    static const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("laz-writer-fuzz-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const Bytes file = lasFileOf(format, recordLength, data + CHOICE_BYTES, points);
    std::ofstream(folder / "input.las", std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    try {
        const std::filesystem::path las = rewrite(folder / "input.las", folder / "las", {});
        const std::filesystem::path written = rewrite(folder / "input.las", folder / "laz", laz);
        check(Orvid::Testing::Las::recordsOf(written) == Orvid::Testing::Las::recordsOf(las),
              "the LAZ file decodes to other records than the LAS file");
    } catch (const Orvid::Core::IOException& error) {
        std::fprintf(stderr, "LAZ writer fuzzer: %s\n", error.what());
        std::abort();
    }
    std::filesystem::remove_all(folder);
    return 0;
}
