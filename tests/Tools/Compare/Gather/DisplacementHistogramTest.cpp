// Histograms of parts of a series add up to the histogram of the whole series, whatever the parts'
// ranges, and a histogram restored from its bins is the one it was read from.
#include "Gather/DisplacementHistogram.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Orvid::Compare::DisplacementHistogram;

struct Split {
    const char* name;
    /// Values up to this index go to the first part.
    std::size_t firstPart;
};

void PrintTo(const Split& split, std::ostream* out) {
    *out << split.name;
}

class DisplacementHistogramSum : public ::testing::TestWithParam<Split> {};

TEST_P(DisplacementHistogramSum, PartsAddUpToTheWhole) {
    // Magnitudes from micrometres to tens of metres, and some that no bin takes.
    std::vector<double> values;
    values.reserve(400);
    for (int i = 0; i < 400; ++i) {
        values.push_back(std::ldexp(1.0 + i % 7 / 8.0, i % 45 - 21));
    }
    values.insert(values.begin() + 100,
                  {-1.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()});
    DisplacementHistogram whole;
    DisplacementHistogram first;
    DisplacementHistogram second;
    for (std::size_t index = 0; index < values.size(); ++index) {
        whole.add(values[index]);
        (index < GetParam().firstPart ? first : second).add(values[index]);
    }
    first += second;
    EXPECT_EQ(first.binWidth(), whole.binWidth());
    EXPECT_EQ(first.counts(), whole.counts());
    EXPECT_EQ(first.unbinned(), 3U);
}

INSTANTIATE_TEST_SUITE_P(Splits, DisplacementHistogramSum,
                         ::testing::Values(Split{"AllInTheFirst", 1000}, Split{"AllInTheSecond", 0},
                                           Split{"SmallValuesFirst", 20}, Split{"Halves", 201}),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST(DisplacementHistogramRestored, KeepsItsBinsAndRefusesAWidthNotOfTheSeries) {
    DisplacementHistogram histogram;
    for (const double value : {0.5, 0.25, 3.0, 0.001}) {
        histogram.add(value);
    }
    const DisplacementHistogram restored =
        DisplacementHistogram::restored(histogram.binWidth(), histogram.counts(), histogram.unbinned());
    EXPECT_EQ(restored.binWidth(), histogram.binWidth());
    EXPECT_EQ(restored.counts(), histogram.counts());
    EXPECT_THROW(DisplacementHistogram::restored(0.3, histogram.counts(), 0), std::invalid_argument);
}

} // namespace
