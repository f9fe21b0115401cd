#include "Shard/LasConcatenation.h"

#include <Core/IOException.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>
#include <optional>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace Orvid::Compare {
namespace {

namespace fs = std::filesystem;

// Public header fields, by offset (LAS 1.2 to 1.4).
constexpr std::size_t VERSION_MINOR = 25;
constexpr std::size_t HEADER_SIZE = 94;
constexpr std::size_t OFFSET_TO_POINT_DATA = 96;
constexpr std::size_t POINT_FORMAT = 104;
constexpr std::size_t RECORD_LENGTH = 105;
constexpr std::size_t LEGACY_COUNT = 107;
constexpr std::size_t LEGACY_BY_RETURN = 111;
constexpr std::size_t BOUNDS = 179;
constexpr std::size_t BOUNDS_END = 227;
constexpr std::size_t EVLR_COUNT = 243;
constexpr std::size_t COUNT = 247;
constexpr std::size_t BY_RETURN = 255;
constexpr std::size_t HEADER_1_4 = 375;

template <typename T>
T load(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    T value{};
    std::memcpy(&value, bytes.data() + at, sizeof(T));
    return value;
}

template <typename T>
void store(std::vector<std::uint8_t>& bytes, std::size_t at, T value) {
    std::memcpy(bytes.data() + at, &value, sizeof(T));
}

/// A part's header and VLRs, and the fields that concatenation adds up.
struct Part {
    std::vector<std::uint8_t> head;
    bool extended = false;
    std::uint64_t count = 0;
    std::array<std::uint64_t, 15> byReturn{};
    std::uint64_t recordLength = 0;
};

/// The part at `path`, or nothing when it is not a plain LAS file that concatenation handles.
std::optional<Part> readPart(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    if (!in || error) {
        throw Core::IOException(path.string() + ": cannot read this class file of a shard (" +
                                (error ? error.message() : std::string(std::strerror(errno))) + ")");
    }
    Part part;
    part.head.resize(BOUNDS_END);
    if (size < BOUNDS_END || !in.read(reinterpret_cast<char*>(part.head.data()), BOUNDS_END) ||
        std::memcmp(part.head.data(), "LASF", 4) != 0) {
        return std::nullopt;
    }
    const auto offset = load<std::uint32_t>(part.head, OFFSET_TO_POINT_DATA);
    const auto headerSize = load<std::uint16_t>(part.head, HEADER_SIZE);
    part.extended = part.head[VERSION_MINOR] >= 4;
    part.recordLength = load<std::uint16_t>(part.head, RECORD_LENGTH);
    if ((part.head[POINT_FORMAT] & 0x80u) != 0 || offset < headerSize || headerSize < BOUNDS_END ||
        (part.extended && headerSize < HEADER_1_4) || offset > size || part.recordLength == 0) {
        return std::nullopt;
    }
    part.head.resize(offset);
    if (!in.read(reinterpret_cast<char*>(part.head.data() + BOUNDS_END),
                 static_cast<std::streamsize>(offset - BOUNDS_END))) {
        return std::nullopt;
    }
    if (part.extended) {
        if (load<std::uint32_t>(part.head, EVLR_COUNT) != 0) {
            return std::nullopt;
        }
        part.count = load<std::uint64_t>(part.head, COUNT);
        for (std::size_t index = 0; index < part.byReturn.size(); ++index) {
            part.byReturn[index] = load<std::uint64_t>(part.head, BY_RETURN + 8 * index);
        }
    } else {
        part.count = load<std::uint32_t>(part.head, LEGACY_COUNT);
        for (std::size_t index = 0; index < 5; ++index) {
            part.byReturn[index] = load<std::uint32_t>(part.head, LEGACY_BY_RETURN + 4 * index);
        }
    }
    if (part.count > (size - offset) / part.recordLength || size - offset != part.count * part.recordLength) {
        return std::nullopt;
    }
    return part;
}

/// Whether two heads are the same but for the counts and bounds.
bool alike(const Part& a, const Part& b) {
    if (a.head.size() != b.head.size() || a.extended != b.extended) {
        return false;
    }
    const auto same = [&](std::size_t from, std::size_t to) {
        return std::equal(a.head.begin() + static_cast<std::ptrdiff_t>(from),
                          a.head.begin() + static_cast<std::ptrdiff_t>(to),
                          b.head.begin() + static_cast<std::ptrdiff_t>(from));
    };
    const std::size_t countsEnd = a.extended ? HEADER_1_4 : BOUNDS_END;
    return same(0, LEGACY_COUNT) && same(LEGACY_BY_RETURN + 20, BOUNDS) &&
           same(BOUNDS_END, a.extended ? COUNT : BOUNDS_END) && same(countsEnd, a.head.size());
}

/// A file descriptor, closed when it goes.
struct Descriptor {
    explicit Descriptor(int descriptor)
        : fd(descriptor) {}
    ~Descriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int release() {
        const int released = fd;
        fd = -1;
        return released;
    }
    int fd;
};

bool writeAll(int descriptor, const std::uint8_t* bytes, std::size_t size) {
    while (size != 0) {
        const ssize_t written = ::write(descriptor, bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

/// Appends `length` bytes of `in` from `offset` to `out`: inside the kernel where it can, else through
/// a buffer.
bool copyRange(int in, off_t offset, std::uint64_t length, int out) {
    while (length != 0) {
        const auto chunk = static_cast<std::size_t>(std::min<std::uint64_t>(length, std::uint64_t{1} << 30));
        const ssize_t copied = ::copy_file_range(in, &offset, out, nullptr, chunk, 0);
        if (copied < 0 && errno == EINTR) {
            continue;
        }
        if (copied < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
            break;
        }
        if (copied <= 0) {
            return false;
        }
        length -= static_cast<std::uint64_t>(copied);
    }
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(length, 4 << 20)));
    while (length != 0) {
        const ssize_t got = ::pread(in, buffer.data(), std::min<std::size_t>(buffer.size(), length), offset);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0 || !writeAll(out, buffer.data(), static_cast<std::size_t>(got))) {
            return false;
        }
        offset += got;
        length -= static_cast<std::uint64_t>(got);
    }
    return true;
}

} // namespace

bool concatenable(const std::vector<fs::path>& parts) {
    std::optional<Part> first;
    for (const fs::path& path : parts) {
        std::optional<Part> part = readPart(path);
        if (!part || (first && !alike(*first, *part))) {
            return false;
        }
        if (!first) {
            first = std::move(part);
        }
    }
    return first.has_value();
}

void concatenateLasFiles(const std::vector<fs::path>& parts, const fs::path& target) {
    std::vector<Part> heads;
    for (const fs::path& path : parts) {
        std::optional<Part> part = readPart(path);
        if (!part) {
            throw Core::IOException(path.string() + ": not a class file that can be concatenated");
        }
        heads.push_back(std::move(*part));
    }
    if (heads.empty()) {
        throw Core::IOException(target.string() + ": no class file to concatenate");
    }
    Part merged = heads.front();
    merged.count = 0;
    merged.byReturn = {};
    // Max, min per axis; only parts with points have bounds.
    std::array<double, 6> bounds{};
    bool bounded = false;
    for (const Part& part : heads) {
        merged.count += part.count;
        for (std::size_t index = 0; index < merged.byReturn.size(); ++index) {
            merged.byReturn[index] += part.byReturn[index];
        }
        if (part.count == 0) {
            continue;
        }
        for (std::size_t axis = 0; axis < 3; ++axis) {
            const auto highest = load<double>(part.head, BOUNDS + 16 * axis);
            const auto lowest = load<double>(part.head, BOUNDS + 16 * axis + 8);
            bounds[2 * axis] = bounded ? std::max(bounds[2 * axis], highest) : highest;
            bounds[2 * axis + 1] = bounded ? std::min(bounds[2 * axis + 1], lowest) : lowest;
        }
        bounded = true;
    }
    if (bounded) {
        for (std::size_t index = 0; index < bounds.size(); ++index) {
            store(merged.head, BOUNDS + 8 * index, bounds[index]);
        }
    }
    // As the writer does: LAS 1.4 keeps the legacy counts at zero for formats 6 to 10 and whenever they
    // cannot hold the total.
    const bool legacyFits = merged.count <= std::numeric_limits<std::uint32_t>::max();
    if (!merged.extended && !legacyFits) {
        throw Core::IOException(target.string() + ": more points than a LAS 1." +
                                std::to_string(merged.head[VERSION_MINOR]) + " file can count");
    }
    const bool legacy = legacyFits && (!merged.extended || (merged.head[POINT_FORMAT] & 0x3Fu) < 6);
    store(merged.head, LEGACY_COUNT, legacy ? static_cast<std::uint32_t>(merged.count) : 0u);
    for (std::size_t index = 0; index < 5; ++index) {
        store(merged.head, LEGACY_BY_RETURN + 4 * index,
              legacy ? static_cast<std::uint32_t>(merged.byReturn[index]) : 0u);
    }
    if (merged.extended) {
        store(merged.head, COUNT, merged.count);
        for (std::size_t index = 0; index < merged.byReturn.size(); ++index) {
            store(merged.head, BY_RETURN + 8 * index, merged.byReturn[index]);
        }
    }

    Descriptor out(::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (out.fd < 0 || !writeAll(out.fd, merged.head.data(), merged.head.size())) {
        throw Core::IOException(target.string() + ": cannot write the class file (" + std::strerror(errno) +
                                ")");
    }
    for (std::size_t index = 0; index < parts.size(); ++index) {
        const Descriptor in(::open(parts[index].c_str(), O_RDONLY | O_CLOEXEC));
        if (in.fd < 0 || !copyRange(in.fd, static_cast<off_t>(heads[index].head.size()),
                                    heads[index].count * heads[index].recordLength, out.fd)) {
            throw Core::IOException(parts[index].string() + ": cannot copy its point records to " +
                                    target.string() + " (" + std::strerror(errno) + ")");
        }
    }
    if (::close(out.release()) != 0) {
        throw Core::IOException(target.string() + ": cannot write the class file (" + std::strerror(errno) +
                                ")");
    }
}

} // namespace Orvid::Compare
