#include "Laz/AdaptiveModels.h"

#include <algorithm>

namespace Orvid::FileIoInterface::Las::Laz {

namespace {

constexpr std::uint32_t BIT_MAX_COUNT = 1u << BitModel::LENGTH_SHIFT;
constexpr std::uint32_t SYMBOL_MAX_COUNT = 1u << SymbolModel::LENGTH_SHIFT;
constexpr std::uint32_t MAX_BIT_UPDATE_CYCLE = 64;
constexpr std::uint32_t TABLE_BITS_PER_SYMBOL_BIT = 1;

} // namespace

void BitModel::reset() {
    mZeroCount = 1;
    mBitCount = 2;
    mZeroProbability = 1u << (LENGTH_SHIFT - 1);
    mUpdateCycle = mUntilUpdate = 4;
}

void BitModel::update() {
    // Counts are halved when they grow large, so that the model follows a drifting source.
    mBitCount += mUpdateCycle;
    if (mBitCount > BIT_MAX_COUNT) {
        mBitCount = (mBitCount + 1) >> 1;
        mZeroCount = (mZeroCount + 1) >> 1;
        if (mZeroCount == mBitCount) {
            ++mBitCount;
        }
    }
    const std::uint32_t scale = 0x80000000u / mBitCount;
    mZeroProbability = (mZeroCount * scale) >> (31 - LENGTH_SHIFT);
    mUpdateCycle = std::min((5 * mUpdateCycle) >> 2, MAX_BIT_UPDATE_CYCLE);
    mUntilUpdate = mUpdateCycle;
}

SymbolModel::SymbolModel(std::uint32_t symbols)
    : mSymbols(symbols) {
    std::size_t starts = SMALL_ALPHABET;
    if (symbols > SMALL_ALPHABET) {
        starts = symbols;
        // Twice as many slots as symbols: the frequent symbols, whose shares are wide, then fill whole
        // slots, and most look-ups need no search. Any table size decodes the same symbols.
        std::uint32_t tableBits = 1;
        while ((1u << tableBits) < symbols) {
            ++tableBits;
        }
        tableBits = std::min(tableBits + TABLE_BITS_PER_SYMBOL_BIT, LENGTH_SHIFT);
        mTableSize = 1u << tableBits;
        mTableShift = LENGTH_SHIFT - tableBits;
    }
    // The table has two more slots than its size: the search reads one slot past the last one.
    const std::size_t tableSlots = mTableSize == 0 ? 0 : std::size_t{mTableSize} + 2;
    mStorage = std::make_unique<std::uint32_t[]>(starts + std::size_t{symbols} + tableSlots);
    mDistribution = mStorage.get();
    std::fill(mDistribution + symbols, mDistribution + starts, std::uint32_t{INT32_MAX});
    mCounts = mDistribution + starts;
    mTable = mTableSize == 0 ? nullptr : mCounts + symbols;
    reset();
}

void SymbolModel::reset() {
    std::fill(mCounts, mCounts + mSymbols, 1u);
    mTotalCount = 0;
    mUpdateCycle = mSymbols;
    update();
    mUpdateCycle = mUntilUpdate = (mSymbols + 6) >> 1;
}

void SymbolModel::update() {
    mTotalCount += mUpdateCycle;
    if (mTotalCount > SYMBOL_MAX_COUNT) {
        mTotalCount = 0;
        for (std::uint32_t symbol = 0; symbol < mSymbols; ++symbol) {
            mCounts[symbol] = (mCounts[symbol] + 1) >> 1;
            mTotalCount += mCounts[symbol];
        }
    }
    const std::uint32_t scale = 0x80000000u / mTotalCount;
    std::uint32_t sum = 0;
    if (mTable == nullptr) {
        for (std::uint32_t symbol = 0; symbol < mSymbols; ++symbol) {
            mDistribution[symbol] = (scale * sum) >> (31 - LENGTH_SHIFT);
            sum += mCounts[symbol];
        }
    } else {
        std::uint32_t slot = 0;
        for (std::uint32_t symbol = 0; symbol < mSymbols; ++symbol) {
            mDistribution[symbol] = (scale * sum) >> (31 - LENGTH_SHIFT);
            sum += mCounts[symbol];
            const std::uint32_t first = mDistribution[symbol] >> mTableShift;
            while (slot < first) {
                mTable[++slot] = symbol - 1;
            }
        }
        mTable[0] = 0;
        while (slot <= mTableSize) {
            mTable[++slot] = mSymbols - 1;
        }
    }
    mUpdateCycle = std::min((5 * mUpdateCycle) >> 2, (mSymbols + 6) << 3);
    mUntilUpdate = mUpdateCycle;
}

} // namespace Orvid::FileIoInterface::Las::Laz
