// Tests of the field splitter, the hexadecimal reader, date stamps and bits.
#include <gtest/gtest.h>

#include "draw/strings.h"
#include "platform/headless/headless.h"

TEST(SplitField, FieldsMissingFieldsAndWholeSeparators) {
    const struct {
        const char *text, *sep;
        int n;
        std::string expected;
    } cases[] = {{"Key=5,38", "=", 1, "Key"}, {"Key=5,38", "=", 2, "5,38"}, {"5,38", ",", 2, "38"},
                 {"5,38", ",", 3, "-+-"},    {" a|b ", "|", 1, "a"},       {" a|b ", "|", 2, "b"},
                 {"a | b", "|", 2, " b"},    {"abc", ",", 2, "abc"},       {"abc", ",", 3, "-+-"},
                 {"a,,c", ",", 2, ""},       {"1<->A<->7", "<->", 3, "7"}, {"1<->A<->7", "<->", 4, "-+-"}};
    for (const auto& c : cases) EXPECT_EQ(SplitField(c.text, c.sep, c.n), c.expected) << c.text << " " << c.n;
}

TEST(HexToInt, UpperCaseDigitsOnly) {
    EXPECT_EQ(HexToInt("1F"), 31);
    EXPECT_EQ(HexToInt("1f"), 16);
    EXPECT_EQ(HexToInt("G1"), 1);
    EXPECT_EQ(HexToInt("7FFFFFFF"), 2147483647);
}

TEST(DateStamp, EncodesDateAndTimeAndDecodesBack) {
    HeadlessConfig config;
    config.startUnixSeconds = 1798761599;  // 31 Dec 2026 23:59:59
    UseHeadlessPlatform(config);
    ASSERT_EQ(CurrentDate() + " " + CurrentTime(), "31 Dec 2026 23:59:59");
    const int64_t stamp = DateStamp();
    EXPECT_EQ(stamp, ((((2026LL * 12 + 12) * 31 + 31) * 24 + 23) * 60 + 59) * 60 + 59);
    EXPECT_EQ(DateText(stamp) + " " + ClockText(stamp), "31-12-2026 23:59:59");
    // A given date keeps the current time of day; month 0 (another layout)
    // decodes as December of the year before.
    EXPECT_EQ(DateText(DateStamp("05 mar 1999")) + " " + ClockText(DateStamp("05 Mar 1999")),
              "05-03-1999 23:59:59");
    EXPECT_EQ(DateText(DateStamp("1999-03-05")), "19-12-0004");
    EXPECT_EQ(ClockText(3600 * 7 + 65), "07:01:05");
    EXPECT_LT(DateStamp("31 Dec 1998"), DateStamp("01 Jan 1999"));  // time order
}

TEST(BitSet, NumbersBitsFromOne) {
    EXPECT_TRUE(BitSet(5, 1) && BitSet(5, 3) && BitSet(int64_t{1} << 40, 41));
    EXPECT_FALSE(BitSet(5, 2) || BitSet(5, 4) || BitSet(-1, 0));
}
