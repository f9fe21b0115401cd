#pragma once

#include "Laz/AdaptiveModels.h"
#include "Laz/BranchFree.h"
#include "Laz/DecoderBuild.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

LAZ_DECODER_TARGET_BEGIN
namespace Orvid::FileIoInterface::Las::Laz {
inline namespace LAZ_DECODER_BUILD {

/// Decodes one arithmetic-coded byte stream: modelled bits and symbols, and raw bit fields. Reading
/// past the end of the stream yields zero bytes and is remembered, as is a value that no encoder
/// writes; the caller checks `overrun()` and `corrupt()` once a chunk is done, so that the per-symbol
/// work never branches into error handling. The value stays below the length whatever the bytes, so
/// that every scaled value has a slot in the models' tables.
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
            noteValueOutside();
        }
    }

    LAZ_INLINE std::uint32_t decodeBit(BitModel& model) {
        const std::uint32_t bound = model.zeroProbability() * (mLength >> BitModel::LENGTH_SHIFT);
        // The upper part of the interval for a 1, the lower for a 0: as likely as not, so no branch.
        std::uint64_t value = mValue;
        std::uint64_t length = bound;
        const bool one = pickSecondAt(mValue, bound, value, length, mValue - bound, mLength - bound);
        mValue = static_cast<std::uint32_t>(value);
        mLength = static_cast<std::uint32_t>(length);
        renormalize();
        model.count(!one);
        return one ? 1u : 0u;
    }

    LAZ_INLINE std::uint32_t decodeSymbol(SymbolModel& model) {
        const std::uint32_t unit = mLength >> SymbolModel::LENGTH_SHIFT;
        // One division, then a slot whose candidates are told apart by one comparison, not by a search
        // whose branches the processor cannot predict.
        const std::uint32_t scaled = mValue / unit;
        const SymbolModel::Slot& slot = model.slot(scaled);
        std::uint32_t symbol = slot.symbol;
        std::uint32_t start = slot.start;
        std::uint32_t split = slot.split;
        std::uint32_t end = slot.end;
        // Only a value past the first two candidates, in the few slots that have more, is searched for.
        if (__builtin_expect(scaled >= end, 0)) {
            symbol = model.search(scaled, symbol);
            start = model.start(symbol);
            split = model.start(symbol + 1);
        }
        // Both bounds of either candidate are multiplied out before one comparison picks them. A missing
        // next symbol has a start whose product exceeds the length: the last symbol takes the rounding.
        const std::uint64_t splitBound = std::uint64_t{split} * unit;
        std::uint64_t low = std::uint64_t{start} * unit;
        std::uint64_t next = splitBound;
        const bool second = pickSecondAt(scaled, split, low, next, splitBound, std::uint64_t{end} * unit);
        const auto high = static_cast<std::uint32_t>(atMost(next, mLength));
        symbol += second ? 1 : 0;
        mValue -= static_cast<std::uint32_t>(low);
        mLength = high - static_cast<std::uint32_t>(low);
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
    /// Whether a value that no encoder writes was met: an initial value outside the interval, or raw
    /// bits beyond their width.
    bool corrupt() const { return mCorrupt; }

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

    // Only the initial value can lie outside the interval: every symbol, bit and raw field keeps the
    // value below the length that it leaves.
    void noteValueOutside() {
        if (mValue >= mLength) {
            mCorrupt = true;
            mValue = mLength - 1;
        }
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
        if (__builtin_expect(mEnd - mNext >= 4, 1)) {
            const auto shift = static_cast<std::uint32_t>(__builtin_clz(mLength)) & ~7u;
            std::uint32_t word;
            std::memcpy(&word, mNext, sizeof word);
            // The value and the next bytes in one register before the shift is known: one shift less
            // on the path that the next symbol waits for.
            const std::uint64_t both = (std::uint64_t{mValue} << 32) | __builtin_bswap32(word);
            mValue = static_cast<std::uint32_t>((both << shift) >> 32);
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

} // namespace LAZ_DECODER_BUILD
} // namespace Orvid::FileIoInterface::Las::Laz
LAZ_DECODER_TARGET_END
