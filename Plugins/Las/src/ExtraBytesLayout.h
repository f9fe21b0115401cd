#pragma once

#include <FileIoInterface/AttributeDescriptor.h>
#include <FileIoInterface/AttributeValue.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Orvid::FileIoInterface::Las {

/// Where each extra-bytes value lies in a point record: the fields follow each other from the end of
/// the standard fields, one per descriptor, sized by its data type (an undocumented byte, data type
/// `None`, is one byte).
class ExtraBytesLayout {
public:
    /// The layout of `descriptors`; throws Core::IOException with `context` and the descriptor's name
    /// when one cannot be written: data type above 10, name over 32 bytes, a no-data, min or max of
    /// another alternative than the data type names.
    ExtraBytesLayout(const std::vector<Attribute::Descriptor>& descriptors, const std::string& context);
    ExtraBytesLayout() = default;

    /// Bytes of all fields together.
    std::size_t size() const { return mSize; }
    std::size_t fieldCount() const { return mTypes.size(); }

    /// Appends the values of the fields stored at `bytes` to `values`.
    void decode(const std::uint8_t* bytes, std::vector<Attribute::Value>& values) const;
    /// Stores `values` at `bytes` and returns true; returns false with the reason in `why` when their
    /// number or an alternative differs from the layout.
    bool encode(const std::vector<Attribute::Value>& values, std::uint8_t* bytes, std::string& why) const;

private:
    std::vector<Attribute::DataType> mTypes;
    /// Names, for the messages of `encode`.
    std::vector<std::string> mNames;
    std::size_t mSize = 0;
};

/// Size in bytes of one value of `type`; 1 for `None`.
std::size_t sizeOfDataType(Attribute::DataType type);

/// The descriptors of `extraByteCount` extra bytes per record, as `LasHeader::extraAttributes` holds
/// them, from the payload of the extra-bytes record (null when the file has none).
std::vector<Attribute::Descriptor> descriptorsFromExtraBytesRecord(const std::vector<std::uint8_t>* payload,
                                                                   std::size_t extraByteCount);

/// The payload of the extra-bytes record that describes `descriptors`, which an `ExtraBytesLayout` has
/// accepted: runs of undocumented bytes of the same name and description become one data-type-0 entry.
std::vector<std::uint8_t>
extraBytesRecordFromDescriptors(const std::vector<Attribute::Descriptor>& descriptors);

} // namespace Orvid::FileIoInterface::Las
