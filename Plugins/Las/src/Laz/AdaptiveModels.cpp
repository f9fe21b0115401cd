#include "Laz/AdaptiveModels.h"

#include "Laz/BranchFree.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

LAZ_DECODER_TARGET_BEGIN
namespace Orvid::FileIoInterface::Las::Laz {
inline namespace LAZ_DECODER_BUILD {

namespace {

constexpr std::uint32_t BIT_MAX_COUNT = 1u << BitModel::LENGTH_SHIFT;
constexpr std::uint32_t SYMBOL_MAX_COUNT = 1u << SymbolModel::LENGTH_SHIFT;
constexpr std::uint32_t MAX_BIT_UPDATE_CYCLE = 64;
constexpr std::uint32_t SMALL_ALPHABET = 16;

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
    : mCounts(std::make_unique<std::uint16_t[]>(symbols))
    , mStarts(std::make_unique<std::uint16_t[]>(std::size_t{symbols} + 2))
    , mSymbols(symbols) {
    // A power of two of slots: one to two per symbol in small alphabets, a half to one in larger ones.
    // A symbol seldom shares its slot with two others, which needs a search, while the tables of a
    // chunk's many models stay small enough for the first-level cache, and the slots are rebuilt at
    // every update. Any slot count decodes alike.
    std::uint32_t slotBits = 0;
    while ((2u << slotBits) <= symbols) {
        ++slotBits;
    }
    slotBits = std::min(slotBits + (symbols <= SMALL_ALPHABET ? 1 : 0), LENGTH_SHIFT);
    mSlotShift = LENGTH_SHIFT - slotBits;
    mSlots = std::make_unique<Slot[]>(slotCount());
    mStarts[symbols] = mStarts[symbols + 1] = NO_START;
    reset();
}

void SymbolModel::reset() {
    std::fill(mCounts.get(), mCounts.get() + mSymbols, std::uint16_t{1});
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
            mCounts[symbol] = static_cast<std::uint16_t>((mCounts[symbol] + 1) >> 1);
            mTotalCount += mCounts[symbol];
        }
    }
    buildTables(0x80000000u / mTotalCount);
    mUpdateCycle = std::min((5 * mUpdateCycle) >> 2, (mSymbols + 6) << 3);
    mUntilUpdate = mUpdateCycle;
}

void SymbolModel::buildTables(std::uint32_t scale) {
    // The candidates of slot j run from the last symbol starting before it to the last starting in it.
    // Each slot first notes the last symbol starting in it, as the starts are summed; a running maximum
    // then gives both ends, without the branches of a walk whose steps vary with the distribution.
    const std::uint32_t count = slotCount();
    Slot* const slots = mSlots.get();
    std::uint16_t* const starts = mStarts.get();
    std::memset(slots, 0, count * sizeof(Slot));
    std::uint32_t sum = 0;
    for (std::uint32_t symbol = 0; symbol < mSymbols; ++symbol) {
        const auto start = static_cast<std::uint16_t>((scale * sum) >> (31 - LENGTH_SHIFT));
        starts[symbol] = start;
        slots[start >> mSlotShift].symbol = static_cast<std::uint16_t>(symbol);
        sum += mCounts[symbol];
    }
    // A slot's three starts lie next to each other in the starts, as in the slot: one copy.
    static_assert(offsetof(Slot, split) == sizeof(std::uint16_t) &&
                  offsetof(Slot, end) == 2 * sizeof(std::uint16_t));
    std::uint32_t first = 0;
    for (std::uint32_t slot = 0; slot < count; ++slot) {
        const std::uint32_t last = std::max<std::uint32_t>(first, slots[slot].symbol);
        std::memcpy(&slots[slot], &starts[first], 3 * sizeof(std::uint16_t));
        slots[slot].symbol = static_cast<std::uint16_t>(first);
        first = last;
    }
}

std::uint32_t SymbolModel::search(std::uint32_t scaled, std::uint32_t first) const {
    // The candidates run from the slot's third to the next slot's first, which is not past the last
    // slot: that one holds only the last symbol. They are halved without branches: which half holds
    // the symbol is as likely as not. The kept half may overlap the other by one candidate, whose
    // start then lies above the value.
    std::uint32_t symbol = first + 2u;
    std::uint32_t candidates = mSlots[(scaled >> mSlotShift) + 1].symbol + 1u - symbol;
    while (candidates > 1) {
        const std::uint32_t half = candidates >> 1;
        symbol = chosenIfAtMost(mStarts[symbol + half], scaled, symbol + half, symbol);
        candidates -= half;
    }
    return symbol;
}

} // namespace LAZ_DECODER_BUILD
} // namespace Orvid::FileIoInterface::Las::Laz
LAZ_DECODER_TARGET_END
