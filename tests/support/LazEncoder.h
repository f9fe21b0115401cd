#pragma once

// An arithmetic encoder for the LAZ decoder's tests and benchmark: it writes streams with the plug-in's
// own adaptive models, so that decoding them must give back what was written. Header-only; its users
// add the plug-in's source folder to their include path and compile Laz/AdaptiveModels.cpp.
#include "Laz/AdaptiveModels.h"

#include <cstdint>
#include <vector>

namespace Orvid::Testing::Las {

class LazEncoder {
public:
    void encodeSymbol(FileIoInterface::Las::Laz::SymbolModel& model, std::uint32_t symbol) {
        using FileIoInterface::Las::Laz::SymbolModel;
        const std::uint32_t start = mBase;
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

    void encodeBit(FileIoInterface::Las::Laz::BitModel& model, std::uint32_t bit) {
        using FileIoInterface::Las::Laz::BitModel;
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

    /// The encoded stream, with the bytes that let a decoder read its last symbol.
    std::vector<std::uint8_t> finish() {
        const std::uint32_t start = mBase;
        const bool extra = mLength > 2 * MIN_LENGTH;
        if (extra) {
            mBase += MIN_LENGTH;
            mLength = MIN_LENGTH >> 1;
        } else {
            mBase += MIN_LENGTH >> 1;
            mLength = MIN_LENGTH >> 9;
        }
        settle(start);
        mBytes.insert(mBytes.end(), extra ? 3 : 2, 0);
        return mBytes;
    }

private:
    static constexpr std::uint32_t MIN_LENGTH = 0x01000000u;

    // A base that wrapped around carries into the bytes already written; a short interval shifts out
    // its top bytes.
    void settle(std::uint32_t start) {
        if (start > mBase) {
            std::size_t index = mBytes.size();
            while (index > 0 && mBytes[index - 1] == 0xFF) {
                mBytes[--index] = 0;
            }
            if (index > 0) {
                ++mBytes[index - 1];
            }
        }
        while (mLength < MIN_LENGTH) {
            mBytes.push_back(static_cast<std::uint8_t>(mBase >> 24));
            mBase <<= 8;
            mLength <<= 8;
        }
    }

    std::uint32_t mBase = 0;
    std::uint32_t mLength = 0xFFFFFFFFu;
    std::vector<std::uint8_t> mBytes;
};

/// Writes integers as the decoder's IntegerDecoder reads them: the corrector to a prediction, its
/// magnitude class under a context, then its position in the class.
class LazIntegerEncoder {
public:
    explicit LazIntegerEncoder(std::uint32_t bits = 16, std::uint32_t contexts = 1,
                               std::uint32_t bitsHigh = 8)
        : mBitsHigh(bitsHigh) {
        std::uint32_t correctorBits = 32;
        if (bits > 0 && bits < 32) {
            correctorBits = bits;
            mRange = 1u << bits;
        }
        for (std::uint32_t context = 0; context < contexts; ++context) {
            mMagnitudes.emplace_back(correctorBits + 1);
        }
        for (std::uint32_t k = 1; k <= correctorBits; ++k) {
            mPositions.emplace_back(1u << (k <= bitsHigh ? k : bitsHigh));
        }
    }

    void encode(LazEncoder& encoder, std::int32_t prediction, std::int32_t value, std::uint32_t context = 0) {
        std::int64_t corrector = static_cast<std::int64_t>(value) - prediction;
        if (mRange != 0) {
            // Fold into [-range/2, range/2), as values wrap within their bits.
            const std::int64_t half = mRange / 2;
            if (corrector < -half) {
                corrector += mRange;
            } else if (corrector >= half) {
                corrector -= mRange;
            }
        } else {
            corrector = static_cast<std::int32_t>(static_cast<std::uint32_t>(corrector));
        }
        std::uint64_t magnitude = static_cast<std::uint64_t>(corrector <= 0 ? -corrector : corrector - 1);
        std::uint32_t k = 0;
        while (magnitude != 0) {
            magnitude >>= 1;
            ++k;
        }
        encoder.encodeSymbol(mMagnitudes[context], k);
        if (k == 0) {
            encoder.encodeBit(mZeroOrOne, static_cast<std::uint32_t>(corrector));
        } else if (k < 32) {
            const auto position = static_cast<std::uint32_t>(
                corrector < 0 ? corrector + ((std::int64_t{1} << k) - 1) : corrector - 1);
            if (k <= mBitsHigh) {
                encoder.encodeSymbol(mPositions[k - 1], position);
            } else {
                const std::uint32_t lowBits = k - mBitsHigh;
                encoder.encodeSymbol(mPositions[k - 1], position >> lowBits);
                encoder.writeBits(lowBits, position & ((1u << lowBits) - 1));
            }
        }
    }

private:
    std::uint32_t mBitsHigh;
    std::uint32_t mRange = 0;
    std::vector<FileIoInterface::Las::Laz::SymbolModel> mMagnitudes;
    FileIoInterface::Las::Laz::BitModel mZeroOrOne;
    std::vector<FileIoInterface::Las::Laz::SymbolModel> mPositions;
};

} // namespace Orvid::Testing::Las
