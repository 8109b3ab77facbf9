// Number conversions and comparisons used by every parser.
#include <gtest/gtest.h>

#include "setup/session/text_util.h"

namespace qv {
namespace {

TEST(Numbers, LeadingNumericPart) {
    EXPECT_EQ(LeadingNumber("12abc"), 12);
    EXPECT_EQ(LeadingNumber("  -3.5e2x"), -350);
    EXPECT_EQ(LeadingNumber("abc"), 0);
    EXPECT_EQ(LeadingNumber(""), 0);
    EXPECT_EQ(LeadingNumber("1e"), 1);
    EXPECT_EQ(LeadingNumber("."), 0);
}

TEST(Numbers, WholeTextMustBeANumber) {
    double v = 0;
    EXPECT_TRUE(ParseNumber(" 1234567 ", v));
    EXPECT_EQ(v, 1234567);
    EXPECT_TRUE(ParseNumber("-1.5", v));
    EXPECT_EQ(v, -1.5);
    EXPECT_FALSE(ParseNumber("12 MB", v));
    EXPECT_FALSE(ParseNumber("", v));
    EXPECT_FALSE(ParseNumber("1e999", v));
}

TEST(Numbers, RoundingHalvesToEvenAndOverflow) {
    int16_t s = 0;
    EXPECT_TRUE(ToInt16(2.5, s));
    EXPECT_EQ(s, 2);
    EXPECT_TRUE(ToInt16(3.5, s));
    EXPECT_EQ(s, 4);
    EXPECT_TRUE(ToInt16(-32768, s));
    EXPECT_FALSE(ToInt16(32767.5, s));  // rounds to 32768
    int32_t l = 0;
    EXPECT_TRUE(ToInt32(2147483647.0, l));
    EXPECT_FALSE(ToInt32(2147483648.0, l));
}

TEST(Numbers, ThousandsSeparators) {
    EXPECT_EQ(FormatThousands(0), "0");
    EXPECT_EQ(FormatThousands(999), "999");
    EXPECT_EQ(FormatThousands(1000), "1,000");
    EXPECT_EQ(FormatThousands(1234567), "1,234,567");
    EXPECT_EQ(FormatThousands(5000000000.0), "5,000,000,000");
}

TEST(Text, TrimAndCase) {
    EXPECT_EQ(Trim(" \t a b \t"), "a b");
    EXPECT_TRUE(EqualsNoCase("ProdNum", "PRODNUM"));
    EXPECT_FALSE(EqualsNoCase("ProdNum", "ProdNu"));
    EXPECT_TRUE(ContainsNoCase("BSE\\API\\unix\\b.h", "\\api\\UNIX\\"));
    EXPECT_TRUE(StartsWithNoCase("bse\\x", "BSE"));
}

}  // namespace
}  // namespace qv
