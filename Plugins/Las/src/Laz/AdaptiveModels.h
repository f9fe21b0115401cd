#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace Orvid::FileIoInterface::Las::Laz {

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

/// Cumulative distribution of an alphabet of 2 to 2048 symbols, learnt from the symbols decoded so far.
/// Alphabets above `SMALL_ALPHABET` symbols also keep a look-up table that narrows the search for a
/// symbol; smaller ones pad their distribution to `SMALL_ALPHABET` entries instead.
class SymbolModel {
public:
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
    /// Start of `symbol`'s share of the interval, scaled to 2^LENGTH_SHIFT; one entry per symbol,
    /// padded in small alphabets with entries of 2^31 - 1, which no scaled value reaches.
    const std::uint32_t* distribution() const { return mDistribution; }
    /// For each table slot, the first symbol that may start in it; absent for small alphabets.
    const std::uint32_t* table() const { return mTable; }
    std::uint32_t tableShift() const { return mTableShift; }
    std::uint32_t tableSize() const { return mTableSize; }

    /// The distribution has this many bits.
    static constexpr std::uint32_t LENGTH_SHIFT = 15;
    static constexpr std::uint32_t SMALL_ALPHABET = 16;

private:
    void update();

    std::unique_ptr<std::uint32_t[]> mStorage;
    std::uint32_t* mDistribution = nullptr;
    std::uint32_t* mCounts = nullptr;
    std::uint32_t* mTable = nullptr;
    std::uint32_t mSymbols = 0;
    std::uint32_t mTableSize = 0;
    std::uint32_t mTableShift = 0;
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

} // namespace Orvid::FileIoInterface::Las::Laz
