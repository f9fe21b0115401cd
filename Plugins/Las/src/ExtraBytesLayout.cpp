#include "ExtraBytesLayout.h"

#include "Raw/ByteCursor.h"
#include "Raw/RawExtraBytesDescriptor.h"

#include <Core/IOException.h>

#include <cstring>
#include <optional>
#include <type_traits>
#include <variant>

namespace Orvid::FileIoInterface::Las {

using Attribute::DataType;
using Attribute::Descriptor;
using Attribute::Value;
using Raw::RawExtraBytesDescriptor;

namespace {

constexpr std::uint8_t MAX_SINGLE_TYPE = 10;
constexpr std::uint8_t MAX_ARRAY_TYPE = 30;
constexpr std::size_t MAX_UNDOCUMENTED_RUN = 255;

const char* typeName(DataType type) {
    static const char* const NAMES[] = {"undocumented byte",
                                        "uint8",
                                        "int8",
                                        "uint16",
                                        "int16",
                                        "uint32",
                                        "int32",
                                        "uint64",
                                        "int64",
                                        "float",
                                        "double"};
    const auto index = static_cast<std::size_t>(type);
    return index <= MAX_SINGLE_TYPE ? NAMES[index] : "unknown type";
}

// A no-data, min or max slot holds the value widened to 64 bits by the kind of its type; the value
// itself is the slot narrowed back to the type (wrapping, as a corrupt slot may not fit).
template <typename T>
Value narrowSlot(std::uint64_t slot) {
    if constexpr (std::is_floating_point_v<T>) {
        double widened = 0.0;
        std::memcpy(&widened, &slot, sizeof(double));
        return Value{static_cast<T>(widened)};
    } else if constexpr (std::is_signed_v<T>) {
        return Value{static_cast<T>(static_cast<std::int64_t>(slot))};
    } else {
        return Value{static_cast<T>(slot)};
    }
}

Value valueFromSlot(DataType type, std::uint64_t slot) {
    switch (type) {
    case DataType::UInt8:
        return narrowSlot<std::uint8_t>(slot);
    case DataType::Int8:
        return narrowSlot<std::int8_t>(slot);
    case DataType::UInt16:
        return narrowSlot<std::uint16_t>(slot);
    case DataType::Int16:
        return narrowSlot<std::int16_t>(slot);
    case DataType::UInt32:
        return narrowSlot<std::uint32_t>(slot);
    case DataType::Int32:
        return narrowSlot<std::int32_t>(slot);
    case DataType::UInt64:
        return narrowSlot<std::uint64_t>(slot);
    case DataType::Int64:
        return narrowSlot<std::int64_t>(slot);
    case DataType::Float:
        return narrowSlot<float>(slot);
    default:
        return narrowSlot<double>(slot);
    }
}

std::uint64_t slotFromValue(const Value& value) {
    return std::visit(
        [](auto payload) -> std::uint64_t {
            using T = decltype(payload);
            std::uint64_t slot = 0;
            if constexpr (std::is_floating_point_v<T>) {
                const auto widened = static_cast<double>(payload);
                std::memcpy(&slot, &widened, sizeof(double));
            } else if constexpr (std::is_signed_v<T>) {
                slot = static_cast<std::uint64_t>(static_cast<std::int64_t>(payload));
            } else {
                slot = payload;
            }
            return slot;
        },
        value);
}

std::size_t valueIndexOf(DataType type) {
    // An undocumented byte travels as an unsigned 8-bit value.
    return type == DataType::None ? 0 : static_cast<std::size_t>(type) - 1;
}

std::vector<Descriptor> undocumented(std::size_t count, const std::string& name = {},
                                     const std::string& description = {}) {
    Descriptor descriptor;
    descriptor.name = name;
    descriptor.description = description;
    return std::vector<Descriptor>(count, descriptor);
}

// The descriptors of one record entry, or nothing when its data type is reserved.
std::optional<std::vector<Descriptor>> descriptorsOf(const RawExtraBytesDescriptor& raw) {
    const std::string name = Raw::textOf(raw.name);
    const std::string description = Raw::textOf(raw.description);
    if (raw.dataType == 0) {
        return undocumented(raw.options, name, description);
    }
    if (raw.dataType > MAX_ARRAY_TYPE) {
        return std::nullopt;
    }
    const auto baseType = static_cast<DataType>((raw.dataType - 1) % 10 + 1);
    const std::size_t elements = (raw.dataType - 1u) / 10 + 1;
    std::vector<Descriptor> descriptors(elements);
    for (std::size_t element = 0; element < elements; ++element) {
        Descriptor& descriptor = descriptors[element];
        descriptor.dataType = baseType;
        // "name[k]" stays within the 32 bytes that a name may have, so that the field can be written back.
        descriptor.name = elements == 1 ? name : name.substr(0, 29) + '[' + std::to_string(element) + ']';
        descriptor.description = description;
        // Limits, scale and offset only count when their option bit is set, whatever the slots hold.
        if ((raw.options & (1u << Descriptor::NoData)) != 0) {
            descriptor.noData = valueFromSlot(baseType, raw.noData[element]);
        }
        if ((raw.options & (1u << Descriptor::Min)) != 0) {
            descriptor.min = valueFromSlot(baseType, raw.min[element]);
        }
        if ((raw.options & (1u << Descriptor::Max)) != 0) {
            descriptor.max = valueFromSlot(baseType, raw.max[element]);
        }
        if ((raw.options & (1u << Descriptor::Scale)) != 0) {
            descriptor.scale = raw.scale[element];
        }
        if ((raw.options & (1u << Descriptor::Offset)) != 0) {
            descriptor.offset = raw.offset[element];
        }
    }
    return descriptors;
}

} // namespace

std::size_t sizeOfDataType(DataType type) {
    switch (type) {
    case DataType::UInt16:
    case DataType::Int16:
        return 2;
    case DataType::UInt32:
    case DataType::Int32:
    case DataType::Float:
        return 4;
    case DataType::UInt64:
    case DataType::Int64:
    case DataType::Double:
        return 8;
    default:
        return 1;
    }
}

ExtraBytesLayout::ExtraBytesLayout(const std::vector<Descriptor>& descriptors, const std::string& context) {
    for (const Descriptor& descriptor : descriptors) {
        const auto code = static_cast<std::uint8_t>(descriptor.dataType);
        const std::string where = context + ": attribute '" + descriptor.name + "'";
        if (code > MAX_SINGLE_TYPE) {
            throw Core::IOException(where + " has data type " + std::to_string(code) + ", not 0 to 10");
        }
        if (descriptor.name.size() > 32) {
            throw Core::IOException(where + " has a name longer than 32 bytes");
        }
        const std::size_t index = valueIndexOf(descriptor.dataType);
        for (const auto* limit : {&descriptor.noData, &descriptor.min, &descriptor.max}) {
            if (limit->has_value() &&
                (descriptor.dataType == DataType::None || limit->value().index() != index)) {
                throw Core::IOException(where + " has a no-data, min or max value that is not of type " +
                                        typeName(descriptor.dataType));
            }
        }
        if (descriptor.dataType == DataType::None && (descriptor.scale || descriptor.offset)) {
            throw Core::IOException(where + " is an undocumented byte with a scale or offset");
        }
        mTypes.push_back(descriptor.dataType);
        mNames.push_back(descriptor.name);
        mSize += sizeOfDataType(descriptor.dataType);
    }
}

void ExtraBytesLayout::decode(const std::uint8_t* bytes, std::vector<Value>& values) const {
    for (const DataType type : mTypes) {
        switch (type) {
        case DataType::Int8:
            values.emplace_back(Raw::load<std::int8_t>(bytes));
            break;
        case DataType::UInt16:
            values.emplace_back(Raw::load<std::uint16_t>(bytes));
            break;
        case DataType::Int16:
            values.emplace_back(Raw::load<std::int16_t>(bytes));
            break;
        case DataType::UInt32:
            values.emplace_back(Raw::load<std::uint32_t>(bytes));
            break;
        case DataType::Int32:
            values.emplace_back(Raw::load<std::int32_t>(bytes));
            break;
        case DataType::UInt64:
            values.emplace_back(Raw::load<std::uint64_t>(bytes));
            break;
        case DataType::Int64:
            values.emplace_back(Raw::load<std::int64_t>(bytes));
            break;
        case DataType::Float:
            values.emplace_back(Raw::load<float>(bytes));
            break;
        case DataType::Double:
            values.emplace_back(Raw::load<double>(bytes));
            break;
        default:
            values.emplace_back(Raw::load<std::uint8_t>(bytes));
            break;
        }
        bytes += sizeOfDataType(type);
    }
}

bool ExtraBytesLayout::encode(const std::vector<Value>& values, std::uint8_t* bytes, std::string& why) const {
    if (values.size() != mTypes.size()) {
        why = "the point has " + std::to_string(values.size()) + " extra values, the leg describes " +
              std::to_string(mTypes.size());
        return false;
    }
    for (std::size_t field = 0; field < mTypes.size(); ++field) {
        const Value& value = values[field];
        if (value.index() != valueIndexOf(mTypes[field])) {
            why = "extra value " + std::to_string(field) + " ('" + mNames[field] + "') is not of type " +
                  typeName(mTypes[field]);
            return false;
        }
        std::visit([bytes](auto payload) { Raw::store(bytes, payload); }, value);
        bytes += sizeOfDataType(mTypes[field]);
    }
    return true;
}

std::vector<Descriptor> descriptorsFromExtraBytesRecord(const std::vector<std::uint8_t>* payload,
                                                        std::size_t extraByteCount) {
    std::vector<Descriptor> descriptors;
    std::size_t described = 0;
    const std::size_t entries = payload == nullptr ? 0 : payload->size() / RawExtraBytesDescriptor::SIZE;
    for (std::size_t entry = 0; entry < entries; ++entry) {
        const auto raw =
            RawExtraBytesDescriptor::decode(payload->data() + entry * RawExtraBytesDescriptor::SIZE);
        std::optional<std::vector<Descriptor>> more = descriptorsOf(raw);
        if (!more) {
            // A reserved data type has no size, so no later field can be placed: nothing is described.
            return undocumented(extraByteCount);
        }
        for (Descriptor& descriptor : *more) {
            described += sizeOfDataType(descriptor.dataType);
            descriptors.push_back(std::move(descriptor));
        }
        if (described > extraByteCount) {
            // A record that describes more bytes than a point has is invalid as a whole.
            return undocumented(extraByteCount);
        }
    }
    std::vector<Descriptor> rest = undocumented(extraByteCount - described);
    descriptors.insert(descriptors.end(), rest.begin(), rest.end());
    return descriptors;
}

std::vector<std::uint8_t> extraBytesRecordFromDescriptors(const std::vector<Descriptor>& descriptors) {
    std::vector<RawExtraBytesDescriptor> entries;
    for (std::size_t index = 0; index < descriptors.size(); ++index) {
        const Descriptor& descriptor = descriptors[index];
        RawExtraBytesDescriptor raw;
        raw.name = Raw::fieldOf<32>(descriptor.name);
        raw.description = Raw::fieldOf<32>(descriptor.description);
        if (descriptor.dataType == DataType::None) {
            std::size_t run = 1;
            while (index + run < descriptors.size() && run < MAX_UNDOCUMENTED_RUN) {
                const Descriptor& next = descriptors[index + run];
                if (next.dataType != DataType::None || next.name != descriptor.name ||
                    next.description != descriptor.description) {
                    break;
                }
                ++run;
            }
            raw.options = static_cast<std::uint8_t>(run);
            index += run - 1;
        } else {
            raw.dataType = static_cast<std::uint8_t>(descriptor.dataType);
            raw.options = static_cast<std::uint8_t>(descriptor.options().to_ulong());
            if (descriptor.noData) {
                raw.noData[0] = slotFromValue(*descriptor.noData);
            }
            if (descriptor.min) {
                raw.min[0] = slotFromValue(*descriptor.min);
            }
            if (descriptor.max) {
                raw.max[0] = slotFromValue(*descriptor.max);
            }
            raw.scale[0] = descriptor.scale.value_or(0.0);
            raw.offset[0] = descriptor.offset.value_or(0.0);
        }
        entries.push_back(raw);
    }
    std::vector<std::uint8_t> payload(entries.size() * RawExtraBytesDescriptor::SIZE);
    for (std::size_t entry = 0; entry < entries.size(); ++entry) {
        entries[entry].encode(payload.data() + entry * RawExtraBytesDescriptor::SIZE);
    }
    return payload;
}

} // namespace Orvid::FileIoInterface::Las
