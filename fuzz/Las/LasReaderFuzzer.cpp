// Feeds arbitrary bytes to the LAS reader as a file, LAS or LAZ (the reader tells them by the header,
// and the corpus holds both): reading must end in a Core::IOException or in points, never in a crash,
// a hang or a huge allocation. Points that were read are written back, and the written file must read
// again with every point the writer accepted.
#include <Core/IOException.h>
#include <FileIoInterface/Las/LasReader.h>
#include <FileIoInterface/Las/LasWriter.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace Orvid::FileIoInterface;

constexpr std::size_t MAX_POINTS = 4096;

class FuzzFolder {
public:
    FuzzFolder()
        : mPath(std::filesystem::temp_directory_path() / ("las-fuzz-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(mPath);
    }
    ~FuzzFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(mPath, ignored);
    }
    const std::filesystem::path& path() const { return mPath; }

private:
    std::filesystem::path mPath;
};

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "LAS fuzzer: %s\n", what);
        std::abort();
    }
}

void roundTrip(const std::filesystem::path& folder, const Las::LasHeader& header, const LegInformation& leg,
               const std::vector<std::unique_ptr<InputOutputPoint>>& points) {
    Las::LasWriterOptions options;
    options.versionMinor = header.pointFormat > 5 ? 4 : (header.pointFormat > 3 ? 3 : 2);
    options.versionMinor = std::max(options.versionMinor, header.versionMinor);
    options.pointFormat = header.pointFormat;
    options.scaleOffset = Las::LasScaleOffset{header.scale, header.offset};
    Las::LasWriter writer(folder / "written", options);
    writer.beginLeg(leg);
    std::uint64_t accepted = 0;
    for (const auto& point : points) {
        accepted += writer.write(*point) ? 1 : 0;
    }
    writer.endLeg();
    Las::LasReader reader(writer.writtenFiles());
    const LegInformation again = reader.nextLeg();
    check(reader.numberOfPointsInLeg() == accepted, "written file announces another number of points");
    check(again.attributes == leg.attributes, "written file describes other extra bytes");
    while (reader.hasMorePoints()) {
        reader.nextPoint();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const FuzzFolder folder;
    const std::filesystem::path input = folder.path() / "input.las";
    {
        std::ofstream stream(input, std::ios::binary | std::ios::trunc);
        stream.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    try {
        Las::LasReader reader({input});
        const LegInformation leg = reader.nextLeg();
        std::vector<std::unique_ptr<InputOutputPoint>> points;
        while (reader.hasMorePoints() && points.size() < MAX_POINTS) {
            points.push_back(reader.nextPoint());
        }
        try {
            roundTrip(folder.path(), reader.header(0), leg, points);
        } catch (const Orvid::Core::IOException& error) {
            std::fprintf(stderr, "LAS fuzzer: writing back what was read failed: %s\n", error.what());
            std::abort();
        }
    } catch (const Orvid::Core::IOException&) {
        // The expected outcome for most inputs.
    }
    return 0;
}
