#pragma once

#include <FileIoInterface/Las/LasHeader.h>

#include <map>
#include <string>

namespace Orvid::Compare::Metadata {

/// Field name to value, in name order.
using FieldValues = std::map<std::string, std::string>;

/// The variable-length and extended records of a file by (user id, record id), as fields "vlr USER ID"
/// whose value gives each record's size, place and a digest of its payload. The extra-bytes
/// descriptors are left to `extraBytesSchemaOf`.
FieldValues recordInventoryOf(const FileIoInterface::Las::LasHeader& header);

/// The extra bytes of a file's records: the field "extraBytes" says how many bytes and whether they are
/// described, and a field "extraBytes NAME" per descriptor gives its type, scale, offset and no-data
/// value. A name that several descriptors share is numbered as array elements are, "NAME[k]".
FieldValues extraBytesSchemaOf(const FileIoInterface::Las::LasHeader& header);

/// The prefix of the fields of `extraBytesSchemaOf`.
inline constexpr const char* EXTRA_BYTES_FIELD = "extraBytes";
/// How the "extraBytes" field ends when the extra bytes have no descriptors.
inline constexpr const char* UNDESCRIBED_BYTES = " bytes without descriptors";
/// The prefix of the fields of `recordInventoryOf`.
inline constexpr const char* VLR_FIELD = "vlr";

} // namespace Orvid::Compare::Metadata
