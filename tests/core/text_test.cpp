// Text utilities: 1-based positions, cut-off ranges, Latin-1 case mapping and
// the string-to-number forms the setup and score files rely on.
#include <gtest/gtest.h>

#include "platform/platform.h"

TEST(TextSlices, LeftAndRightCutToTheString) {
    EXPECT_EQ(Left("hello", 2), "he");
    EXPECT_EQ(Left("hello", 0), "");
    EXPECT_EQ(Left("hello", -3), "");
    EXPECT_EQ(Left("hello", 99), "hello");
    EXPECT_EQ(Right("hello", 3), "llo");
    EXPECT_EQ(Right("hello", 0), "");
    EXPECT_EQ(Right("hello", 99), "hello");
    EXPECT_EQ(Right("000" + std::to_string(7), 3), "007");
}

TEST(TextSlices, MidCountsFromOneAndCutsOutOfRangeParts) {
    EXPECT_EQ(Mid("abc", 0, 2), "a");   // position 0 does not exist
    EXPECT_EQ(Mid("abc", 5), "");
    EXPECT_EQ(Mid("abc", 2), "bc");
    EXPECT_EQ(Mid("abc", 2, 1), "b");
    EXPECT_EQ(Mid("abc", 2, 0), "");
    EXPECT_EQ(Mid("abc", 2, 100), "bc");
    EXPECT_EQ(Mid("abc", -5, 7), "a");
    EXPECT_EQ(Mid("abcdef", 3, -7), "cdef");  // any negative count runs to the end
    EXPECT_EQ(Mid("", 1, 1), "");
}

TEST(TextSearch, InstrGivesOneBasedPositionsOrZero) {
    EXPECT_EQ(Instr("Key=5,38", "="), 4);
    EXPECT_EQ(Instr("Key=5,38", ","), 6);
    EXPECT_EQ(Instr("a,b,c", ",", 3), 4);
    EXPECT_EQ(Instr("a,b,c", ",", 5), 0);
    EXPECT_EQ(Instr("a,b,c", ",", 0), 2);  // start below 1 searches from 1
    EXPECT_EQ(Instr("abc", "x"), 0);
    EXPECT_EQ(Instr("abc", "abcd"), 0);
    EXPECT_EQ(Instr("abc", "c", 99), 0);
}

TEST(TextSearch, ReplaceAllNonOverlappingOccurrences) {
    EXPECT_EQ(Replace("a.b.c", ".", ""), "abc");
    EXPECT_EQ(Replace("aaaa", "aa", "b"), "bb");
    EXPECT_EQ(Replace("abc", "b", "bbb"), "abbbc");  // replacement is not rescanned
    EXPECT_EQ(Replace("abc", "", "x"), "abc");
}

TEST(TextCase, TrimDropsControlCodesAndBlanksAtBothEnds) {
    EXPECT_EQ(Trim(" \t a b \r\n"), "a b");
    EXPECT_EQ(Trim(std::string("\x01x\x20", 3)), "x");
    EXPECT_EQ(Trim("\xA0x"), "\xA0x");  // 160 is not below 33
    EXPECT_EQ(Trim("   "), "");
}

TEST(TextCase, UpperAndLowerMapAsciiAndLatin1Letters) {
    EXPECT_EQ(Upper("abz AZ 09!"), "ABZ AZ 09!");
    EXPECT_EQ(Lower("ABZ az 09!"), "abz az 09!");
    EXPECT_EQ(Upper("\xE4\xF6\xFC\xE0\xFE"), "\xC4\xD6\xDC\xC0\xDE");  // äöüàþ
    EXPECT_EQ(Lower("\xC4\xD6\xDC\xC0\xDE"), "\xE4\xF6\xFC\xE0\xFE");
    // Division and multiplication signs sit among the letters but are not.
    EXPECT_EQ(Upper("\xF7"), "\xF7");
    EXPECT_EQ(Lower("\xD7"), "\xD7");
    // Sharp s and y-diaeresis have no Latin-1 capital.
    EXPECT_EQ(Upper("\xDF\xFF"), "\xDF\xFF");
}

TEST(TextCodes, AscAndChrWorkOnBytes) {
    EXPECT_EQ(Asc(""), -1);
    EXPECT_EQ(Asc("A"), 65);
    EXPECT_EQ(Asc("\xE9"), 233);  // not sign-extended
    EXPECT_EQ(Chr(65), "A");
    EXPECT_EQ(Chr(0x141), "A");  // low 8 bits only
    EXPECT_EQ(Chr(0).size(), 1u);
    EXPECT_EQ(Asc(Chr(255)), 255);
}

TEST(TextNumbers, ToIntReadsBlanksSignBinaryAndHex) {
    EXPECT_EQ(ToInt("42"), 42);
    EXPECT_EQ(ToInt("  \t-17"), -17);
    EXPECT_EQ(ToInt("+8"), 8);
    EXPECT_EQ(ToInt("12abc"), 12);
    EXPECT_EQ(ToInt("%1011"), 11);
    EXPECT_EQ(ToInt("%1012"), 5);  // stops at the first non-binary digit
    EXPECT_EQ(ToInt("$1F"), 31);
    EXPECT_EQ(ToInt("$ff"), 255);
    EXPECT_EQ(ToInt("-$10"), -16);
    EXPECT_EQ(ToInt("$FFFFFFFF"), -1);  // wraps like a 32-bit int
    EXPECT_EQ(ToInt(""), 0);
    EXPECT_EQ(ToInt("x5"), 0);
    EXPECT_EQ(ToInt("-"), 0);
    EXPECT_EQ(ToInt("A"), 0);  // hex digits only after "$"
}

TEST(TextNumbers, ToLongKeepsSixtyFourBits) {
    EXPECT_EQ(ToLong("63932483759"), 63932483759LL);
    EXPECT_EQ(ToLong("-9223372036854775807"), -9223372036854775807LL);
    EXPECT_EQ(ToLong("$7FFFFFFFFF"), 0x7FFFFFFFFFLL);
    EXPECT_EQ(ToInt("63932483759"), static_cast<int>(static_cast<uint32_t>(63932483759ULL)));
}

TEST(TextNumbers, ToFloatParsesDecimalCText) {
    EXPECT_DOUBLE_EQ(ToFloat("1.5"), 1.5);
    EXPECT_DOUBLE_EQ(ToFloat("  -0.25xyz"), -0.25);
    EXPECT_DOUBLE_EQ(ToFloat("abc"), 0.0);
    EXPECT_DOUBLE_EQ(ToFloat(std::string("2\0" "5", 3)), 2.0);  // a zero byte ends the text
}

TEST(TextNumbers, StrWritesDecimal) {
    EXPECT_EQ(Str(int64_t{0}), "0");
    EXPECT_EQ(Str(int64_t{-123}), "-123");
    EXPECT_EQ(Str(int64_t{63932483759}), "63932483759");
    EXPECT_EQ(Str(1.5), "1.5");
    EXPECT_EQ(Str(0.1), "0.1");
    EXPECT_EQ(ToFloat(Str(1.0 / 3.0)), 1.0 / 3.0);  // round trip
}
