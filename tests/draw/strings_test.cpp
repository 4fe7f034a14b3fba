// Tests of the field splitter, the hexadecimal reader, date stamps, bits.
#include <gtest/gtest.h>

#include "draw/strings.h"
#include "platform/headless/headless.h"

TEST(SplitField, FieldsOfKeyValueAndCommaPairs) {
    EXPECT_EQ(SplitField("Key=5,38", "=", 1), "Key");
    EXPECT_EQ(SplitField("Key=5,38", "=", 2), "5,38");
    EXPECT_EQ(SplitField("5,38", ",", 1), "5");
    EXPECT_EQ(SplitField("5,38", ",", 2), "38");
    EXPECT_EQ(SplitField("5,38", ",", 3), MissingField);
    EXPECT_EQ(MissingField, "-+-");
}

TEST(SplitField, TrimsTheWholeTextButKeepsBlanksAroundSeparators) {
    EXPECT_EQ(SplitField(" a|b ", "|", 1), "a");
    EXPECT_EQ(SplitField(" a|b ", "|", 2), "b");
    EXPECT_EQ(SplitField("a | b", "|", 1), "a ");
    EXPECT_EQ(SplitField("a | b", "|", 2), " b");
}

TEST(SplitField, NoSeparatorGivesTheWholeTextOnceThenMissing) {
    EXPECT_EQ(SplitField("abc", ",", 1), "abc");
    EXPECT_EQ(SplitField("abc", ",", 2), "abc");
    EXPECT_EQ(SplitField("abc", ",", 3), MissingField);
    EXPECT_EQ(SplitField("a,b,c", ",", 3), "c");
    EXPECT_EQ(SplitField("a,b,c", ",", 4), MissingField);
    EXPECT_EQ(SplitField("a,,c", ",", 2), "");
}

TEST(SplitField, LongSeparatorsAreSkippedWhole) {
    EXPECT_EQ(SplitField("12<->Ann<->7", "<->", 1), "12");
    EXPECT_EQ(SplitField("12<->Ann<->7", "<->", 2), "Ann");
    EXPECT_EQ(SplitField("12<->Ann<->7", "<->", 3), "7");
    EXPECT_EQ(SplitField("12<->Ann<->7", "<->", 4), MissingField);
}

TEST(HexToInt, UpperCaseDigitsOnly) {
    EXPECT_EQ(HexToInt("1F"), 31);
    EXPECT_EQ(HexToInt("1f"), 16);
    EXPECT_EQ(HexToInt("FF00"), 65280);
    EXPECT_EQ(HexToInt(""), 0);
    EXPECT_EQ(HexToInt("G1"), 1);
    EXPECT_EQ(HexToInt("7FFFFFFF"), 2147483647);
}

TEST(DateStamp, EncodesDateAndTimeOfDayAndDecodesBack) {
    HeadlessConfig config;
    config.startUnixSeconds = 1798761599;  // 31 Dec 2026 23:59:59
    UseHeadlessPlatform(config);
    ASSERT_EQ(CurrentDate(), "31 Dec 2026");
    ASSERT_EQ(CurrentTime(), "23:59:59");
    const int64_t stamp = DateStamp();
    EXPECT_EQ(stamp, ((((2026LL * 12 + 12) * 31 + 31) * 24 + 23) * 60 + 59) * 60 + 59);
    EXPECT_EQ(stamp, 65152166399LL);
    EXPECT_EQ(DateText(stamp), "31-12-2026");
    EXPECT_EQ(ClockText(stamp), "23:59:59");
}

TEST(DateStamp, AGivenDateKeepsTheCurrentTimeOfDay) {
    UseHeadlessPlatform();  // 07 Dec 2026 23:56:19
    const int64_t stamp = DateStamp("05 Mar 1999");
    EXPECT_EQ(DateText(stamp), "05-03-1999");
    EXPECT_EQ(ClockText(stamp), CurrentTime());
    EXPECT_LT(DateStamp("04 Mar 1999"), stamp);
    EXPECT_LT(stamp, DateStamp("06 Mar 1999"));
    EXPECT_LT(DateStamp("31 Dec 1998"), DateStamp("01 Jan 1999"));
    // Another layout: month 0 and digits wherever they fall (day 19, year 5);
    // month 0 of a year decodes as December of the year before.
    EXPECT_EQ(DateText(DateStamp("1999-03-05")), "19-12-0004");
    EXPECT_EQ(DateStamp("05 mar 1999"), stamp);  // upper-cased first
}

TEST(DateStamp, EveryDayOfAYearRoundTrips) {
    UseHeadlessPlatform();
    static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    int64_t previous = 0;
    for (int m = 0; m < 12; ++m) {
        for (int d = 1; d <= 31; ++d) {
            char date[16];
            std::snprintf(date, sizeof date, "%02d %s 2030", d, kMonths[m]);
            const int64_t stamp = DateStamp(date);
            char expected[16];
            std::snprintf(expected, sizeof expected, "%02d-%02d-2030", d, m + 1);
            ASSERT_EQ(DateText(stamp), expected) << date;
            ASSERT_GT(stamp, previous) << date;
            previous = stamp;
        }
    }
}

TEST(ClockText, PadsToTwoDigits) {
    EXPECT_EQ(ClockText(0), "00:00:00");
    EXPECT_EQ(ClockText(3600 * 7 + 60 * 5 + 9), "07:05:09");
    EXPECT_EQ(ClockText(86400 + 61), "00:01:01");
}

TEST(BitSet, NumbersBitsFromOne) {
    EXPECT_TRUE(BitSet(5, 1));
    EXPECT_FALSE(BitSet(5, 2));
    EXPECT_TRUE(BitSet(5, 3));
    EXPECT_FALSE(BitSet(5, 4));
    EXPECT_TRUE(BitSet(int64_t{1} << 40, 41));
    EXPECT_FALSE(BitSet(-1, 0));
}
