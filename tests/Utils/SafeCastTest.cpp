#include <Utils/SafeCast.h>

#include "AssertRecorder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using Orvid::Testing::AssertRecorder;
using Orvid::Testing::assertText;
using namespace Orvid::Utils::SafeCast;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(SafeCast, UnsignedToSignedReportsValuesAboveTheSignedMaximum) {
    AssertRecorder asserts;
    EXPECT_EQ(unsignedToSigned<std::int32_t>(std::uint32_t{2147483647}), 2147483647);
    EXPECT_THAT(asserts.reports(), IsEmpty());
    EXPECT_EQ(unsignedToSigned<std::int32_t>(std::uint32_t{2147483648U}), -2147483647 - 1);
    EXPECT_EQ(unsignedToSigned<std::int32_t>(std::uint32_t{0xFFFFFFFFU}), -1);
    EXPECT_THAT(asserts.messages(),
                ElementsAre(assertText("value <= static_cast< U >( std::numeric_limits< S >::max() )"),
                            assertText("value <= static_cast< U >( std::numeric_limits< S >::max() )")));
    EXPECT_EQ(asserts.reports()[0].file, "Utils/include/Utils/SafeCast.h");
}

TEST(SafeCast, SignedToNarrowerSignedChecksBothBounds) {
    AssertRecorder asserts;
    EXPECT_EQ(signedToNarrowerSigned<std::int16_t>(std::int32_t{-32768}), -32768);
    EXPECT_EQ(signedToNarrowerSigned<std::int16_t>(std::int32_t{32767}), 32767);
    EXPECT_THAT(asserts.reports(), IsEmpty());
    EXPECT_EQ(signedToNarrowerSigned<std::int16_t>(std::int32_t{40000}),
              static_cast<std::int16_t>(40000 - 65536));
    EXPECT_EQ(signedToNarrowerSigned<std::int16_t>(std::int32_t{-40000}),
              static_cast<std::int16_t>(-40000 + 65536));
    EXPECT_THAT(asserts.messages(), ElementsAre(assertText("value <= std::numeric_limits< D >::max()"),
                                                assertText("value >= std::numeric_limits< D >::min()")));
}

TEST(SafeCast, SignedToUnsignedChecksBothBounds) {
    AssertRecorder asserts;
    EXPECT_EQ(signedToUnsigned<std::uint16_t>(std::int32_t{65535}), 65535);
    EXPECT_EQ(signedToUnsigned<std::uint16_t>(std::int32_t{0}), 0);
    EXPECT_THAT(asserts.reports(), IsEmpty());
    EXPECT_EQ(signedToUnsigned<std::uint16_t>(std::int32_t{-1}), 65535);
    EXPECT_EQ(signedToUnsigned<std::uint16_t>(std::int32_t{65536}), 0);
    EXPECT_THAT(asserts.messages(), ElementsAre(assertText("value >= 0"),
                                                assertText("value <= std::numeric_limits< U >::max()")));
}

} // namespace
