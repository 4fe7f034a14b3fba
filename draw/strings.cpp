// strings.cpp — field splitting, hex reading, the date stamp's display forms.
// Uses only the platform's text utilities, so the score server can link it
// without the rest of the platform (the date stamp itself, which reads the
// clock, is in date_stamp.cpp).
#include "draw/strings.h"

#include "platform/platform.h"

std::string SplitField(const std::string& text, const std::string& separator, int n) {
    const std::string s = Trim(text);
    const int sepLength = static_cast<int>(separator.size());
    int start = 1, last = 0;
    bool missing = false;
    for (int pass = 1; pass < n; ++pass) {
        const int k = Instr(s, separator, start);
        // Not found restarts at 1, which can never pass `last`: that is how a
        // missing separator shows (from the second pass on).
        const int next = k > 0 ? k + sepLength : 1;
        if (next <= last) {
            missing = true;
        } else {
            last = next;
        }
        start = last;
    }
    if (missing) return MissingField;
    const int length = Instr(s, separator, start) - start;
    return length < 0 ? Mid(s, start) : Mid(s, start, length);
}

int HexToInt(const std::string& text) {
    unsigned result = 0;  // unsigned: wraps like the 32-bit original instead of overflowing
    for (char ch : text) {
        int value;
        if (ch >= 'A' && ch <= 'F') {
            value = ch - 'A' + 10;
        } else {
            value = ToInt(std::string(1, ch));
        }
        result = result * 16 + static_cast<unsigned>(value);
    }
    return static_cast<int>(result);
}

namespace {

// Decimal, left-padded with "0" to `digits` and cut to the last `digits`.
std::string Padded(int64_t value, int digits) {
    std::string s = std::string(digits, '0') + Str(value);
    return Right(s, digits);
}

}  // namespace

std::string ClockText(int64_t stamp) {
    const int64_t second = stamp % 60;
    const int64_t minute = (stamp / 60) % 60;
    const int64_t hour = (stamp / 3600) % 24;
    return Padded(hour, 2) + ":" + Padded(minute, 2) + ":" + Padded(second, 2);
}

std::string DateText(int64_t stamp) {
    const int64_t n = stamp / 86400;
    const int64_t day = (n - 1) % 31 + 1;
    const int64_t m = (n - day) / 31;
    const int64_t month = (m - 1) % 12 + 1;
    const int64_t year = (m - month) / 12;
    return Padded(day, 2) + "-" + Padded(month, 2) + "-" + Padded(year, 4);
}

bool BitSet(int64_t value, int bit) {
    if (bit < 1 || bit > 64) return false;
    return (static_cast<uint64_t>(value) & (uint64_t{1} << (bit - 1))) != 0;
}
