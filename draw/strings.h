// strings.h — field splitting, hexadecimal reading, the 64-bit date stamp and
// its display forms, and bit tests. Positions count from 1.
#pragma once

#include <cstdint>
#include <string>

// Marks a field that is not there.
inline const std::string MissingField = "-+-";

// Field n (n ≥ 1) of the trimmed text cut at separator, or MissingField.
std::string SplitField(const std::string& text, const std::string& separator, int n);
// Upper-case hexadecimal digits; anything else counts as 0. No overflow check.
int HexToInt(const std::string& text);
// ((((year × 12 + month) × 31 + day) × 24 + hour) × 60 + minute) × 60 + second
// for today, or for `date` ("07 Dec 2026") at the current time of day.
int64_t DateStamp(const std::string& date = "");
std::string ClockText(int64_t stamp);  // "23:59:59"
std::string DateText(int64_t stamp);   // "31-12-2026"
// Bit number `bit` (1 = lowest) of value.
bool BitSet(int64_t value, int bit);
