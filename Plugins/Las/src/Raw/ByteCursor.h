#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

// Every LAS field is little-endian; the cursors copy bytes as they lie, so the host must match.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the LAS plug-in needs a little-endian host");

namespace Orvid::FileIoInterface::Las::Raw {

/// The value of type `T` stored at `bytes`, which need not be aligned.
template <typename T>
T load(const std::uint8_t* bytes) {
    static_assert(std::is_trivially_copyable_v<T>);
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    return value;
}

/// Stores `value` at `bytes`, which need not be aligned.
template <typename T>
void store(std::uint8_t* bytes, T value) {
    static_assert(std::is_trivially_copyable_v<T>);
    std::memcpy(bytes, &value, sizeof(T));
}

/// Reads consecutive fields from a byte block whose size the caller has checked.
class ByteReader {
public:
    explicit ByteReader(const std::uint8_t* bytes)
        : mBytes(bytes) {}

    template <typename T>
    T read() {
        const T value = load<T>(mBytes + mPosition);
        mPosition += sizeof(T);
        return value;
    }

    template <typename T, std::size_t N>
    std::array<T, N> readArray() {
        std::array<T, N> values;
        for (T& value : values) {
            value = read<T>();
        }
        return values;
    }

    void skip(std::size_t count) { mPosition += count; }
    std::size_t position() const { return mPosition; }

private:
    const std::uint8_t* mBytes;
    std::size_t mPosition = 0;
};

/// Writes consecutive fields into a byte block whose size the caller has checked.
class ByteWriter {
public:
    explicit ByteWriter(std::uint8_t* bytes)
        : mBytes(bytes) {}

    template <typename T>
    void write(T value) {
        store(mBytes + mPosition, value);
        mPosition += sizeof(T);
    }

    template <typename T, std::size_t N>
    void writeArray(const std::array<T, N>& values) {
        for (const T value : values) {
            write(value);
        }
    }

    void skip(std::size_t count) { mPosition += count; }
    std::size_t position() const { return mPosition; }

private:
    std::uint8_t* mBytes;
    std::size_t mPosition = 0;
};

/// A fixed-size text field: its bytes up to the first NUL, or all of them when none is NUL.
template <std::size_t N>
std::string textOf(const std::array<char, N>& field) {
    std::size_t length = 0;
    while (length < N && field[length] != '\0') {
        ++length;
    }
    return std::string(field.data(), length);
}

/// `text` as a NUL-padded fixed-size field; the caller has checked that it fits.
template <std::size_t N>
std::array<char, N> fieldOf(const std::string& text) {
    std::array<char, N> field{};
    std::memcpy(field.data(), text.data(), text.size() < N ? text.size() : N);
    return field;
}

} // namespace Orvid::FileIoInterface::Las::Raw
