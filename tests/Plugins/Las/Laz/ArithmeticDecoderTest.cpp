#include "Laz/ArithmeticDecoder.h"
#include "Laz/ArithmeticEncoder.h"
#include "Laz/IntegerDecoder.h"
#include "Laz/IntegerEncoder.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using namespace Orvid::FileIoInterface::Las::Laz;

// One step of a mixed stream: a modelled symbol, a modelled bit or raw bits.
struct Step {
    enum class Kind { Symbol, Bit, Raw } kind;
    std::uint32_t value;
    std::uint32_t bits;
};

// Skewed values, as the coder meets them: mostly small, now and then anywhere in the alphabet, so that
// the models adapt, halve their counts and rebuild their tables many times.
std::vector<Step> mixedSteps(std::uint32_t symbols, std::uint32_t seed) {
    std::mt19937 engine(seed);
    const auto random = [&engine] { return static_cast<std::uint32_t>(engine()); };
    std::geometric_distribution<std::uint32_t> small(0.3);
    std::vector<Step> steps;
    for (int index = 0; index < 30000; ++index) {
        switch (random() % 4) {
        case 0:
        case 1: {
            const std::uint32_t value = random() % 8 == 0 ? random() % symbols : small(engine) % symbols;
            steps.push_back({Step::Kind::Symbol, value, 0});
            break;
        }
        case 2:
            steps.push_back({Step::Kind::Bit, random() % 5 == 0 ? 1u : 0u, 0});
            break;
        default: {
            const std::uint32_t bits = 1 + random() % 32;
            steps.push_back({Step::Kind::Raw, bits == 32 ? random() : random() & ((1u << bits) - 1), bits});
            break;
        }
        }
    }
    return steps;
}

class ArithmeticCoding : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(ArithmeticCoding, DecodesEverySymbolBitAndRawFieldThatWasEncoded) {
    const std::uint32_t symbols = GetParam();
    const std::vector<Step> steps = mixedSteps(symbols, symbols);
    ArithmeticEncoder encoder;
    SymbolModel encodingSymbols(symbols);
    BitModel encodingBits;
    for (const Step& step : steps) {
        if (step.kind == Step::Kind::Symbol) {
            encoder.encodeSymbol(encodingSymbols, step.value);
        } else if (step.kind == Step::Kind::Bit) {
            encoder.encodeBit(encodingBits, step.value);
        } else {
            encoder.writeBits(step.bits, step.value);
        }
    }
    const std::vector<std::uint8_t> stream = encoder.finish();

    ArithmeticDecoder decoder;
    decoder.start(stream.data(), stream.data() + stream.size());
    SymbolModel symbolModel(symbols);
    BitModel bitModel;
    for (std::size_t index = 0; index < steps.size(); ++index) {
        const Step& step = steps[index];
        std::uint32_t value = 0;
        if (step.kind == Step::Kind::Symbol) {
            value = decoder.decodeSymbol(symbolModel);
        } else if (step.kind == Step::Kind::Bit) {
            value = decoder.decodeBit(bitModel);
        } else {
            value = decoder.readBits(step.bits);
        }
        ASSERT_EQ(value, step.value) << "step " << index;
    }
    EXPECT_EQ(decoder.overrun(), 0u);
    EXPECT_FALSE(decoder.corrupt());
    // The decoder takes exactly the stream's bytes: the next chunk starts where it stops.
    EXPECT_EQ(decoder.consumed(stream.data()), stream.size());
}

// Two symbols (a bisection of one step), the largest alphabet searched without a table, the smallest
// with one, and the alphabets of the item models.
INSTANTIATE_TEST_SUITE_P(Alphabets, ArithmeticCoding,
                         ::testing::Values(2u, 3u, 16u, 17u, 33u, 64u, 256u, 516u, 2048u));

struct IntegerCase {
    std::uint32_t bits;
    std::uint32_t contexts;
    std::uint32_t bitsHigh;
};

std::ostream& operator<<(std::ostream& stream, const IntegerCase& integers) {
    return stream << integers.bits << " bits, " << integers.contexts << " contexts, " << integers.bitsHigh
                  << " modelled";
}

class IntegerCoding : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerCoding, DecodesEveryValueAgainstItsPrediction) {
    const IntegerCase& integers = GetParam();
    const std::uint64_t range = integers.bits == 32 ? 0 : std::uint64_t{1} << integers.bits;
    std::mt19937 engine(integers.bits * 7 + integers.contexts);
    const auto random = [&engine] { return static_cast<std::uint32_t>(engine()); };
    struct Value {
        std::int32_t prediction, value;
        std::uint32_t context;
    };
    std::vector<Value> values;
    std::int32_t last = 0;
    for (int index = 0; index < 20000; ++index) {
        // Small changes mostly, jumps across the whole range (wrapping) now and then.
        std::int64_t next = last + static_cast<std::int32_t>(random() % 64) - 32;
        if (random() % 10 == 0) {
            next = static_cast<std::int32_t>(random());
        }
        if (range != 0) {
            next = static_cast<std::int64_t>(static_cast<std::uint64_t>(next) % range);
        }
        values.push_back({last, static_cast<std::int32_t>(next), random() % integers.contexts});
        last = static_cast<std::int32_t>(next);
    }
    ArithmeticEncoder encoder;
    IntegerEncoder writer(integers.bits, integers.contexts, integers.bitsHigh);
    for (const Value& value : values) {
        writer.encode(encoder, value.prediction, value.value, value.context);
    }
    const std::vector<std::uint8_t> stream = encoder.finish();

    ArithmeticDecoder decoder;
    decoder.start(stream.data(), stream.data() + stream.size());
    IntegerDecoder reader(integers.bits, integers.contexts, integers.bitsHigh);
    for (std::size_t index = 0; index < values.size(); ++index) {
        const Value& value = values[index];
        ASSERT_EQ(reader.decode(decoder, value.prediction, value.context), value.value) << "value " << index;
    }
    EXPECT_EQ(decoder.overrun(), 0u);
    EXPECT_EQ(decoder.consumed(stream.data()), stream.size());
}

INSTANTIATE_TEST_SUITE_P(Widths, IntegerCoding,
                         ::testing::Values(IntegerCase{8, 1, 8}, IntegerCase{8, 6, 8}, IntegerCase{16, 4, 8},
                                           IntegerCase{16, 1, 4}, IntegerCase{32, 2, 8},
                                           IntegerCase{32, 22, 8}));

TEST(ArithmeticDecoder, ReportsStreamsThatEndEarlyOrLeaveTheInterval) {
    ArithmeticEncoder encoder;
    SymbolModel model(256);
    for (std::uint32_t index = 0; index < 5000; ++index) {
        encoder.encodeSymbol(model, (index * 37) % 256);
    }
    const std::vector<std::uint8_t> stream = encoder.finish();

    ArithmeticDecoder cut;
    cut.start(stream.data(), stream.data() + stream.size() / 2);
    SymbolModel cutModel(256);
    for (std::uint32_t index = 0; index < 5000; ++index) {
        cut.decodeSymbol(cutModel);
    }
    EXPECT_GT(cut.overrun(), 0u);

    // All ones put the value at the top of the interval, where no symbol lies.
    const std::vector<std::uint8_t> ones(64, 0xFF);
    ArithmeticDecoder outside;
    outside.start(ones.data(), ones.data() + ones.size());
    SymbolModel outsideModel(256);
    outside.decodeSymbol(outsideModel);
    EXPECT_TRUE(outside.corrupt());
    EXPECT_EQ(outside.overrun(), 0u);
}

} // namespace
