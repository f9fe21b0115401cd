#pragma once

#include "Laz/AdaptiveModels.h"

#include <cstddef>
#include <cstdint>

// The per-symbol functions are small but called from every field decoder; inlining them into each
// lets the compiler keep the coder's state in registers across the fields of a point.
#define LAZ_INLINE inline __attribute__((always_inline))

namespace Orvid::FileIoInterface::Las::Laz {

/// Decodes one arithmetic-coded byte stream: modelled bits and symbols, and raw bit fields. Reading
/// past the end of the stream yields zero bytes and is remembered, as is a value that no model symbol
/// can produce; the caller checks `overrun()` and `corrupt()` once a chunk is done, so that the
/// per-symbol work never branches into error handling.
class ArithmeticDecoder {
public:
    /// Decodes from [begin, end); reads the 4 bytes of the initial value unless `readValue` is false,
    /// for a stream that has no symbols.
    void start(const std::uint8_t* begin, const std::uint8_t* end, bool readValue = true) {
        mNext = begin;
        mEnd = end;
        mOverrun = 0;
        mCorrupt = false;
        mLength = MAX_LENGTH;
        mValue = 0;
        if (readValue) {
            for (int count = 0; count < 4; ++count) {
                mValue = (mValue << 8) | nextByte();
            }
        }
    }

    LAZ_INLINE std::uint32_t decodeBit(BitModel& model) {
        const std::uint32_t bound = model.zeroProbability() * (mLength >> BitModel::LENGTH_SHIFT);
        const bool one = mValue >= bound;
        if (one) {
            mValue -= bound;
            mLength -= bound;
        } else {
            mLength = bound;
        }
        if (mLength < MIN_LENGTH) {
            renormalize();
        }
        model.count(!one);
        return one ? 1u : 0u;
    }

    LAZ_INLINE std::uint32_t decodeSymbol(SymbolModel& model) {
        const std::uint32_t* distribution = model.distribution();
        std::uint32_t symbol = 0;
        std::uint32_t low = 0;
        std::uint32_t high = mLength;
        mLength >>= SymbolModel::LENGTH_SHIFT;
        if (const std::uint32_t* table = model.table()) {
            const std::uint32_t scaled = mValue / mLength;
            std::uint32_t slot = scaled >> model.tableShift();
            if (slot >= model.tableSize()) {
                // At the end of the table: the last symbol, whose share takes the rounding of the
                // length; or, for a value beyond the whole interval, a damaged stream (which stays so).
                slot = model.tableSize();
                mCorrupt = mCorrupt || mValue >= high;
            }
            symbol = table[slot];
            std::uint32_t end = table[slot + 1] + 1;
            while (end > symbol + 1) {
                const std::uint32_t middle = (symbol + end) >> 1;
                if (distribution[middle] > scaled) {
                    end = middle;
                } else {
                    symbol = middle;
                }
            }
            low = distribution[symbol] * mLength;
            if (symbol + 1 != model.symbols()) {
                high = distribution[symbol + 1] * mLength;
            }
        } else {
            std::uint32_t end = model.symbols();
            std::uint32_t middle = end >> 1;
            do {
                const std::uint32_t bound = mLength * distribution[middle];
                if (bound > mValue) {
                    end = middle;
                    high = bound;
                } else {
                    symbol = middle;
                    low = bound;
                }
                middle = (symbol + end) >> 1;
            } while (middle != symbol);
        }
        mValue -= low;
        mLength = high - low;
        if (mLength < MIN_LENGTH) {
            renormalize();
        }
        model.count(symbol);
        return symbol;
    }

    /// `bits` (1 to 32) raw bits.
    LAZ_INLINE std::uint32_t readBits(std::uint32_t bits) {
        if (bits > 19) {
            const std::uint32_t low = readFewBits(16);
            return (readFewBits(bits - 16) << 16) | low;
        }
        return readFewBits(bits);
    }
    LAZ_INLINE std::uint32_t readShort() { return readFewBits(16); }
    LAZ_INLINE std::uint32_t readInt() {
        const std::uint32_t low = readFewBits(16);
        return (readFewBits(16) << 16) | low;
    }
    LAZ_INLINE std::uint64_t readInt64() {
        const std::uint64_t low = readInt();
        return (std::uint64_t{readInt()} << 32) | low;
    }

    /// Bytes taken from the stream so far, those read past its end not included.
    std::size_t consumed(const std::uint8_t* begin) const { return static_cast<std::size_t>(mNext - begin); }
    /// Bytes wanted past the end of the stream.
    std::size_t overrun() const { return mOverrun; }
    /// Whether a value outside every model's range was met.
    bool corrupt() const { return mCorrupt; }

private:
    static constexpr std::uint32_t MIN_LENGTH = 0x01000000u;
    static constexpr std::uint32_t MAX_LENGTH = 0xFFFFFFFFu;

    // Up to 19 bits: more would not leave the interval room to tell them apart.
    LAZ_INLINE std::uint32_t readFewBits(std::uint32_t bits) {
        mLength >>= bits;
        std::uint32_t value = mValue / mLength;
        mValue -= mLength * value;
        if (mLength < MIN_LENGTH) {
            renormalize();
        }
        if (value >= (1u << bits)) {
            mCorrupt = true;
            value &= (1u << bits) - 1;
        }
        return value;
    }

    LAZ_INLINE std::uint32_t nextByte() {
        if (mNext < mEnd) {
            return *mNext++;
        }
        ++mOverrun;
        return 0;
    }

    LAZ_INLINE void renormalize() {
        do {
            mValue = (mValue << 8) | nextByte();
            mLength <<= 8;
        } while (mLength < MIN_LENGTH);
    }

    const std::uint8_t* mNext = nullptr;
    const std::uint8_t* mEnd = nullptr;
    std::uint32_t mValue = 0;
    // Never zero, even before `start`: the length divides.
    std::uint32_t mLength = MAX_LENGTH;
    std::size_t mOverrun = 0;
    bool mCorrupt = false;
};

} // namespace Orvid::FileIoInterface::Las::Laz
