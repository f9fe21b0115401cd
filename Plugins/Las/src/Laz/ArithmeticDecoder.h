#pragma once

#include "Laz/AdaptiveModels.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
        renormalize();
        model.count(!one);
        return one ? 1u : 0u;
    }

    LAZ_INLINE std::uint32_t decodeSymbol(SymbolModel& model) {
        const std::uint32_t* distribution = model.distribution();
        std::uint32_t high = mLength;
        mLength >>= SymbolModel::LENGTH_SHIFT;
        // The symbol is the last whose start is at most the scaled value: one division, then a look-up
        // instead of a search whose branches the processor cannot predict.
        const std::uint32_t scaled = mValue / mLength;
        std::uint32_t symbol;
        if (const std::uint32_t* table = model.table()) {
            const std::uint32_t slot = std::min(scaled >> model.tableShift(), model.tableSize());
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
        } else {
            symbol = SymbolModel::SMALL_ALPHABET - 1 - startsAbove(distribution, scaled);
        }
        // The last symbol's share takes the rounding of the length. The start after the last symbol is
        // read but unused: it is the model's next word. A value beyond the whole interval leaves the
        // value at or above the length, which `corrupt()` notices.
        const std::uint32_t low = distribution[symbol] * mLength;
        const std::uint32_t next = distribution[symbol + 1] * mLength;
        const std::uint32_t last = 0u - static_cast<std::uint32_t>(symbol + 1 == model.symbols());
        high = (high & last) | (next & ~last);
        mValue -= low;
        mLength = high - low;
        renormalize();
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
    /// Whether a value outside every model's range was met. Such a value stays at or above the length
    /// through every later symbol and bit, until a raw field, which notes it, takes it back.
    bool corrupt() const { return mCorrupt || mValue >= mLength; }

private:
    static constexpr std::uint32_t MIN_LENGTH = 0x01000000u;
    static constexpr std::uint32_t MAX_LENGTH = 0xFFFFFFFFu;

    // Up to 19 bits: more would not leave the interval room to tell them apart.
    LAZ_INLINE std::uint32_t readFewBits(std::uint32_t bits) {
        mLength >>= bits;
        std::uint32_t value = mValue / mLength;
        mValue -= mLength * value;
        renormalize();
        if (value >= (1u << bits)) {
            mCorrupt = true;
            value &= (1u << bits) - 1;
        }
        return value;
    }

    // Of the SMALL_ALPHABET starts of a small alphabet (padded with values above any scaled value),
    // those above `scaled`: a count without branches, which the processor cannot mispredict.
    static LAZ_INLINE std::uint32_t startsAbove(const std::uint32_t* starts, std::uint32_t scaled) {
        static_assert(SymbolModel::SMALL_ALPHABET == 16, "four vectors of four starts");
#if defined(__SSE2__)
        const __m128i limit = _mm_set1_epi32(static_cast<int>(scaled));
        const auto above = [&](std::size_t quarter) {
            return _mm_cmpgt_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(starts + 4 * quarter)),
                                   limit);
        };
        // Each start above the limit adds -1.
        __m128i sum = _mm_add_epi32(_mm_add_epi32(above(0), above(1)), _mm_add_epi32(above(2), above(3)));
        sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0x4E));
        sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0xB1));
        return static_cast<std::uint32_t>(-_mm_cvtsi128_si32(sum));
#else
        std::uint32_t count = 0;
        for (std::uint32_t start = 0; start < SymbolModel::SMALL_ALPHABET; ++start) {
            count += static_cast<std::int32_t>(starts[start]) > static_cast<std::int32_t>(scaled) ? 1u : 0u;
        }
        return count;
#endif
    }

    LAZ_INLINE std::uint32_t nextByte() {
        if (mNext < mEnd) {
            return *mNext++;
        }
        ++mOverrun;
        return 0;
    }

    // Shifts in a byte for every 8 leading zero bits of the length. Away from the stream's end the
    // bytes come from one 4-byte load without a branch: whether the length needs them is as likely
    // as not, which the processor cannot predict.
    LAZ_INLINE void renormalize() {
        if (mEnd - mNext >= 4) {
            const auto shift = static_cast<std::uint32_t>(__builtin_clz(mLength)) & ~7u;
            std::uint32_t word;
            std::memcpy(&word, mNext, sizeof word);
            word = __builtin_bswap32(word);
            mValue = static_cast<std::uint32_t>((std::uint64_t{mValue} << shift) |
                                                (std::uint64_t{word} >> (32 - shift)));
            mLength <<= shift;
            mNext += shift >> 3;
            return;
        }
        while (mLength < MIN_LENGTH) {
            mValue = (mValue << 8) | nextByte();
            mLength <<= 8;
        }
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
