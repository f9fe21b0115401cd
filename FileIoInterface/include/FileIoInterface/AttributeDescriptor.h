#pragma once

#include <FileIoInterface/AttributeValue.h>
#include <FileIoInterface/FileIoInterfaceExport.h>
#include <Utils/CoreAssert.h>

#include <bitset>
#include <cstdint>
#include <optional>
#include <string>

namespace Orvid::FileIoInterface::Attribute {

/// Type of an attribute's values: the index of the `Value` alternative plus one, which is also the
/// data-type number of a LAS 1.4 extra-bytes descriptor for single values. 0: none given.
enum class DataType : std::uint8_t {
    None = 0,
    UInt8 = 1,
    Int8 = 2,
    UInt16 = 3,
    Int16 = 4,
    UInt32 = 5,
    Int32 = 6,
    UInt64 = 7,
    Int64 = 8,
    Float = 9,
    Double = 10,
};

/// Describes one additional per-point attribute of a point cloud. A plain value: `noData`, `min` and
/// `max` hold the alternative that `dataType` names (not checked here).
struct FILEIOINTERFACE_EXPORT Descriptor {
    /// The optional fields; an enumerator's value is its bit in `options()`.
    enum Option : std::uint8_t {
        NoData = 0,
        Min = 1,
        Max = 2,
        Scale = 3,
        Offset = 4,
    };

    DataType dataType = DataType::None;
    std::string name;
    std::optional<Value> noData;
    std::optional<Value> min;
    std::optional<Value> max;
    std::optional<double> scale;
    std::optional<double> offset;
    std::string description;

    Descriptor();
    Descriptor(const Descriptor& other);
    /// Moves the two strings, leaving the source's empty, and copies the other fields.
    Descriptor(Descriptor&& other) noexcept;
    Descriptor& operator=(const Descriptor& other);
    Descriptor& operator=(Descriptor&& other) noexcept;
    ~Descriptor();

    /// Field by field in declaration order; floating values compare numerically (NaN unequal).
    bool operator==(const Descriptor& other) const;
    bool operator!=(const Descriptor& other) const { return !(*this == other); }

    /// Bit k is set when the optional field of `Option` k is present.
    std::bitset<5> options() const;

    /// True when the optional field of `O` is present.
    template <Option O>
    bool has() const {
        return field<O>().has_value();
    }

    /// The optional field of `O`: a `Value` for `NoData`, `Min` and `Max`, a `double` for `Scale` and
    /// `Offset`. Reports through the assertion handler when the field is absent, and then returns a
    /// zero value.
    template <Option O>
    auto get() const {
        CORE_ASSERT( has< O >() );
        const auto& option = field<O>();
        CORE_ASSERT( option );
        return option.value_or(typename std::decay_t<decltype(option)>::value_type{});
    }

    /// `get<Scale>()`.
    double getScaleValue() const;
    /// `get<Offset>()`.
    double getOffsetValue() const;

private:
    template <Option O>
    const auto& field() const {
        if constexpr (O == NoData) {
            return noData;
        } else if constexpr (O == Min) {
            return min;
        } else if constexpr (O == Max) {
            return max;
        } else if constexpr (O == Scale) {
            return scale;
        } else {
            static_assert(O == Offset);
            return offset;
        }
    }
};

} // namespace Orvid::FileIoInterface::Attribute
