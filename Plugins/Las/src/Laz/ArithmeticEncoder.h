#pragma once

#include "Laz/AdaptiveModels.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace Orvid::FileIoInterface::Las::Laz {

/// Encodes one arithmetic-coded byte stream with the same adaptive models as ArithmeticDecoder, byte
/// for byte as the widely used encoder writes it: modelled bits and symbols, raw bit fields, and the
/// closing bytes that let a decoder, which reads 4 bytes ahead, take the last symbol.
class ArithmeticEncoder {
public:
    LAZ_INLINE void encodeSymbol(SymbolModel& model, std::uint32_t symbol) {
        const std::uint32_t start = mBase;
        // The last symbol takes the rounding left above the other symbols' shares.
        if (symbol + 1 == model.symbols()) {
            const std::uint32_t low = model.start(symbol) * (mLength >> SymbolModel::LENGTH_SHIFT);
            mBase += low;
            mLength -= low;
        } else {
            mLength >>= SymbolModel::LENGTH_SHIFT;
            const std::uint32_t low = model.start(symbol) * mLength;
            mBase += low;
            mLength = model.start(symbol + 1) * mLength - low;
        }
        settle(start);
        model.count(symbol);
    }

    LAZ_INLINE void encodeBit(BitModel& model, std::uint32_t bit) {
        const std::uint32_t start = mBase;
        const std::uint32_t bound = model.zeroProbability() * (mLength >> BitModel::LENGTH_SHIFT);
        if (bit == 0) {
            mLength = bound;
        } else {
            mBase += bound;
            mLength -= bound;
        }
        settle(start);
        model.count(bit == 0);
    }

    /// `bits` (1 to 32) raw bits of `value`.
    void writeBits(std::uint32_t bits, std::uint32_t value) {
        // More than 19 bits at once would leave the interval too short to tell them apart.
        if (bits > 19) {
            writeBits(16, value & 0xFFFFu);
            value >>= 16;
            bits -= 16;
        }
        const std::uint32_t start = mBase;
        mLength >>= bits;
        mBase += value * mLength;
        settle(start);
    }

    /// 32 raw bits, the low half first.
    void writeInt(std::uint32_t value) {
        writeBits(16, value & 0xFFFFu);
        writeBits(16, value >> 16);
    }

    /// The encoded stream, closed; the encoder is spent.
    std::vector<std::uint8_t> finish() {
        const std::uint32_t start = mBase;
        // One closing byte when the interval is long enough to hold a value for it, else two; then
        // zero bytes, so that the decoder's reads ahead stay inside the stream.
        const bool longInterval = mLength > 2 * MIN_LENGTH;
        if (longInterval) {
            mBase += MIN_LENGTH;
            mLength = MIN_LENGTH >> 1;
        } else {
            mBase += MIN_LENGTH >> 1;
            mLength = MIN_LENGTH >> 9;
        }
        settle(start);
        mBytes.resize(mSize);
        mBytes.insert(mBytes.end(), longInterval ? 3 : 2, 0);
        return std::move(mBytes);
    }

private:
    static constexpr std::uint32_t MIN_LENGTH = 0x01000000u;

    // A base that wrapped around carries into the bytes already written; a short interval shifts out
    // its top bytes. The bytes go into storage grown ahead, so that appending one is a plain store
    // rather than a call that may reallocate.
    void settle(std::uint32_t start) {
        if (start > mBase) {
            carry();
        }
        if (mLength >= MIN_LENGTH) {
            return;
        }
        if (mSize + sizeof(std::uint32_t) > mBytes.size()) {
            grow();
        }
        // Locals: a store through a byte pointer could alias the members.
        std::uint8_t* const bytes = mBytes.data();
        std::uint32_t base = mBase;
        std::uint32_t length = mLength;
        std::size_t size = mSize;
        do {
            bytes[size++] = static_cast<std::uint8_t>(base >> 24);
            base <<= 8;
            length <<= 8;
        } while (length < MIN_LENGTH);
        mBase = base;
        mLength = length;
        mSize = size;
    }

    void carry() {
        std::size_t index = mSize;
        while (index > 0 && mBytes[index - 1] == 0xFF) {
            mBytes[--index] = 0;
        }
        if (index > 0) {
            ++mBytes[index - 1];
        }
    }

    void grow() { mBytes.resize(std::max<std::size_t>(2 * mBytes.size(), 4096)); }

    std::uint32_t mBase = 0;
    std::uint32_t mLength = 0xFFFFFFFFu;
    /// The bytes written are the first mSize.
    std::vector<std::uint8_t> mBytes;
    std::size_t mSize = 0;
};

} // namespace Orvid::FileIoInterface::Las::Laz
