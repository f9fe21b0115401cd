#include "Render/SvgWriter.h"

#include <gtest/gtest.h>

#include <limits>
#include <sstream>

namespace {

using namespace Orvid::Compare;

TEST(EscapeText, ReplacesTheCharactersThatMarkupReserves) {
    EXPECT_EQ(escapeText(R"(<a href="x">Tom & Jerry's</a>)"),
              "&lt;a href=&quot;x&quot;&gt;Tom &amp; Jerry&#39;s&lt;/a&gt;");
    EXPECT_EQ(escapeText("&amp;"), "&amp;amp;") << "text is escaped as given, never taken for a reference";
    EXPECT_EQ(escapeText("/survey/v2 (ré-traité)/leg-1.las"), "/survey/v2 (ré-traité)/leg-1.las");
    EXPECT_EQ(escapeText(""), "");
}

TEST(FormatNumber, WritesPlainDecimalsWithoutTrailingZeros) {
    EXPECT_EQ(formatNumber(12.5), "12.5");
    EXPECT_EQ(formatNumber(3.0), "3");
    EXPECT_EQ(formatNumber(-0.254), "-0.25");
    EXPECT_EQ(formatNumber(-0.001), "0");
    EXPECT_EQ(formatNumber(4600000.125, 3), "4600000.125");
    EXPECT_EQ(formatNumber(std::numeric_limits<double>::quiet_NaN()), "0");
}

TEST(FormatCount, GroupsDigitsByThree) {
    EXPECT_EQ(formatCount(0), "0");
    EXPECT_EQ(formatCount(999), "999");
    EXPECT_EQ(formatCount(1048576), "1\u202F048\u202F576");
}

TEST(SvgWriter, EscapesAttributeValuesAndTextAndClosesInOrder) {
    std::ostringstream out;
    {
        SvgWriter svg(out, "chart", 80, 20.5, "counts \"before\" & after");
        svg.open("g", {{"class", "a<b"}});
        svg.rect(1, 2, 3, 4, {{"data-count", "7"}}, "7 points > 5");
        svg.text(0.126, 9, "x < y & z");
    }
    EXPECT_EQ(out.str(),
              "<svg xmlns=\"http://www.w3.org/2000/svg\" id=\"chart\" width=\"80\" height=\"20.5\" "
              "viewBox=\"0 0 80 20.5\" role=\"img\" aria-label=\"counts &quot;before&quot; &amp; after\">\n"
              "<g class=\"a&lt;b\">\n"
              "<rect x=\"1\" y=\"2\" width=\"3\" height=\"4\" data-count=\"7\">\n"
              "<title>7 points &gt; 5</title>\n"
              "</rect>\n"
              "<text x=\"0.13\" y=\"9\">x &lt; y &amp; z</text>\n"
              "</g>\n"
              "</svg>\n");
}

} // namespace
