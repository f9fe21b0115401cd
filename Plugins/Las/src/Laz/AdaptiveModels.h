#pragma once

#include "Laz/DecoderBuild.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

LAZ_DECODER_TARGET_BEGIN
namespace Orvid::FileIoInterface::Las::Laz {
inline namespace LAZ_DECODER_BUILD {

/// Probability of a 0 bit, learnt from the bits decoded so far and refreshed at growing intervals.
class BitModel {
public:
    BitModel() { reset(); }

    /// Back to equal odds, as at the start of a chunk.
    void reset();
    /// Counts one decoded bit; refreshes the probability when its interval is over.
    void count(bool zero) {
        mZeroCount += zero ? 1u : 0u;
        if (--mUntilUpdate == 0) {
            update();
        }
    }
    std::uint32_t zeroProbability() const { return mZeroProbability; }

    /// The probability has this many bits.
    static constexpr std::uint32_t LENGTH_SHIFT = 13;

private:
    void update();

    std::uint32_t mUpdateCycle = 0;
    std::uint32_t mUntilUpdate = 0;
    std::uint32_t mZeroProbability = 0;
    std::uint32_t mZeroCount = 0;
    std::uint32_t mBitCount = 0;
};

/// Cumulative distribution of an alphabet of 2 to 2048 symbols, learnt from the symbols decoded so far,
/// with a look-up table from scaled values to the symbols that may start among them.
class SymbolModel {
public:
    /// One range of scaled values: its first candidate symbol, that symbol's start, the start of the next
    /// symbol (a second candidate, or above every value of the range) and of the one after (a third
    /// candidate, or above every value). Two candidates are told apart by one comparison; a value at or
    /// past the third candidate's start is searched for.
    struct Slot {
        std::uint16_t start;
        std::uint16_t split;
        std::uint16_t end;
        std::uint16_t symbol;
    };

    explicit SymbolModel(std::uint32_t symbols);
    SymbolModel(SymbolModel&&) noexcept = default;
    SymbolModel& operator=(SymbolModel&&) noexcept = default;

    /// Back to a uniform distribution, as at the start of a chunk.
    void reset();
    /// Counts one decoded symbol; rebuilds the distribution when its interval is over.
    void count(std::uint32_t symbol) {
        ++mCounts[symbol];
        if (--mUntilUpdate == 0) {
            update();
        }
    }

    std::uint32_t symbols() const { return mSymbols; }
    /// Start of `symbol`'s share of the interval, scaled to 2^LENGTH_SHIFT; `NO_START` past the last
    /// symbol (two entries).
    std::uint32_t start(std::uint32_t symbol) const { return mStarts[symbol]; }
    /// The slot of a scaled value, at most MAX_SCALED.
    const Slot& slot(std::uint32_t scaled) const { return mSlots[scaled >> mSlotShift]; }
    /// The symbol of a value at or past the start of its slot's third candidate, `first` being the
    /// slot's first: the last symbol whose start is at most `scaled`.
    std::uint32_t search(std::uint32_t scaled, std::uint32_t first) const;

    /// The distribution has this many bits.
    static constexpr std::uint32_t LENGTH_SHIFT = 15;
    /// A value below a length of at least 2^24 scales to at most this: the length's remainder below a
    /// multiple of 2^LENGTH_SHIFT, over a unit of at least 2^(24 - LENGTH_SHIFT), adds less than
    /// 2^(2 LENGTH_SHIFT - 24). The values above 2^LENGTH_SHIFT belong to the last symbol.
    static constexpr std::uint32_t MAX_SCALED = (1u << LENGTH_SHIFT) + (1u << (2 * LENGTH_SHIFT - 24)) - 1;
    /// Above every start and every scaled value: a product with it exceeds every length.
    static constexpr std::uint16_t NO_START = 0xFFFF;

private:
    void update();
    /// The starts and the slots, from the counts scaled by `scale`.
    void buildTables(std::uint32_t scale);
    /// One slot for every value up to MAX_SCALED.
    std::uint32_t slotCount() const { return (MAX_SCALED >> mSlotShift) + 1; }

    // Below 2^16: an update halves the counts once their sum passes 2^LENGTH_SHIFT, and an update
    // interval adds at most 8 (2048 + 6) symbols, fewer than 2^LENGTH_SHIFT.
    std::unique_ptr<std::uint16_t[]> mCounts;
    std::unique_ptr<std::uint16_t[]> mStarts;
    std::unique_ptr<Slot[]> mSlots;
    std::uint32_t mSymbols = 0;
    std::uint32_t mSlotShift = 0;
    std::uint32_t mTotalCount = 0;
    std::uint32_t mUpdateCycle = 0;
    std::uint32_t mUntilUpdate = 0;
};

/// `N` symbol models chosen by a context value (often the field's last value), each made when its
/// context first occurs in a chunk: most contexts never do.
template <std::size_t N>
class LazySymbolModels {
public:
    explicit LazySymbolModels(std::uint32_t symbols)
        : mSymbols(symbols) {}

    SymbolModel& operator[](std::size_t context) {
        std::unique_ptr<SymbolModel>& model = mModels[context];
        if (!model) {
            model = std::make_unique<SymbolModel>(mSymbols);
        }
        return *model;
    }

private:
    std::uint32_t mSymbols;
    std::array<std::unique_ptr<SymbolModel>, N> mModels;
};

} // namespace LAZ_DECODER_BUILD
} // namespace Orvid::FileIoInterface::Las::Laz
LAZ_DECODER_TARGET_END
