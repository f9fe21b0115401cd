#include "Raw/RawExtraBytesDescriptor.h"

#include "Raw/ByteCursor.h"

namespace Orvid::FileIoInterface::Las::Raw {

static_assert(2 + 1 + 1 + 32 + 4 + 5 * 24 + 32 == RawExtraBytesDescriptor::SIZE);

RawExtraBytesDescriptor RawExtraBytesDescriptor::decode(const std::uint8_t* bytes) {
    ByteReader reader(bytes);
    RawExtraBytesDescriptor descriptor;
    descriptor.reserved = reader.readArray<std::uint8_t, 2>();
    descriptor.dataType = reader.read<std::uint8_t>();
    descriptor.options = reader.read<std::uint8_t>();
    descriptor.name = reader.readArray<char, 32>();
    descriptor.unused = reader.readArray<std::uint8_t, 4>();
    descriptor.noData = reader.readArray<std::uint64_t, 3>();
    descriptor.min = reader.readArray<std::uint64_t, 3>();
    descriptor.max = reader.readArray<std::uint64_t, 3>();
    descriptor.scale = reader.readArray<double, 3>();
    descriptor.offset = reader.readArray<double, 3>();
    descriptor.description = reader.readArray<char, 32>();
    return descriptor;
}

void RawExtraBytesDescriptor::encode(std::uint8_t* bytes) const {
    ByteWriter writer(bytes);
    writer.writeArray(reserved);
    writer.write(dataType);
    writer.write(options);
    writer.writeArray(name);
    writer.writeArray(unused);
    writer.writeArray(noData);
    writer.writeArray(min);
    writer.writeArray(max);
    writer.writeArray(scale);
    writer.writeArray(offset);
    writer.writeArray(description);
}

} // namespace Orvid::FileIoInterface::Las::Raw
