// text.cpp — the text utilities: byte strings (Latin-1), 1-based positions,
// out-of-range parts cut rather than reported.
#include <charconv>
#include <cstdlib>
#include <string>

#include "platform/platform.h"

namespace {

// Clamps a 1-based inclusive range [first, last] to the string and returns it
// as a substring ("" when nothing is left).
std::string Slice(const std::string& s, int64_t first, int64_t last) {
    const int64_t len = static_cast<int64_t>(s.size());
    if (first < 1) first = 1;
    if (last > len) last = len;
    if (last < first) return {};
    return s.substr(static_cast<size_t>(first - 1), static_cast<size_t>(last - first + 1));
}

bool IsLatin1Lower(unsigned char c) { return (c >= 0xE0 && c <= 0xFE && c != 0xF7); }
bool IsLatin1Upper(unsigned char c) { return (c >= 0xC0 && c <= 0xDE && c != 0xD7); }

// Shared by ToInt and ToLong: wraps like the machine integer of that width.
uint64_t ParseInteger(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        negative = s[i] == '-';
        ++i;
    }
    unsigned base = 10;
    if (i < s.size() && s[i] == '%') {
        base = 2;
        ++i;
    } else if (i < s.size() && s[i] == '$') {
        base = 16;
        ++i;
    }
    uint64_t value = 0;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        unsigned digit;
        if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
        else break;
        if (digit >= base) break;
        value = value * base + digit;
    }
    return negative ? (~value + 1) : value;
}

}  // namespace

std::string Left(const std::string& s, int n) { return Slice(s, 1, n); }

std::string Right(const std::string& s, int n) {
    const int64_t len = static_cast<int64_t>(s.size());
    return Slice(s, len - n + 1, len);
}

std::string Mid(const std::string& s, int start, int count) {
    // Any negative count means "to the end" (callers compute lengths that may
    // come out negative when no separator follows).
    if (count < 0) return Slice(s, start, static_cast<int64_t>(s.size()));
    return Slice(s, start, static_cast<int64_t>(start) + count - 1);
}

int Instr(const std::string& s, const std::string& sub, int start) {
    if (start < 1) start = 1;
    if (static_cast<size_t>(start - 1) > s.size()) return 0;
    const size_t at = s.find(sub, static_cast<size_t>(start - 1));
    return at == std::string::npos ? 0 : static_cast<int>(at) + 1;
}

std::string Replace(const std::string& s, const std::string& sub, const std::string& with) {
    if (sub.empty()) return s;
    std::string out;
    out.reserve(s.size());
    size_t pos = 0;
    for (;;) {
        const size_t at = s.find(sub, pos);
        if (at == std::string::npos) break;
        out.append(s, pos, at - pos);
        out += with;
        pos = at + sub.size();
    }
    out.append(s, pos, std::string::npos);
    return out;
}

std::string Trim(const std::string& s) {
    size_t first = 0, last = s.size();
    while (first < last && static_cast<unsigned char>(s[first]) < 33) ++first;
    while (last > first && static_cast<unsigned char>(s[last - 1]) < 33) --last;
    return s.substr(first, last - first);
}

std::string Upper(const std::string& s) {
    std::string out = s;
    for (char& ch : out) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || IsLatin1Lower(c)) ch = static_cast<char>(c - 32);
    }
    return out;
}

std::string Lower(const std::string& s) {
    std::string out = s;
    for (char& ch : out) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || IsLatin1Upper(c)) ch = static_cast<char>(c + 32);
    }
    return out;
}

int Asc(const std::string& s) { return s.empty() ? -1 : static_cast<unsigned char>(s[0]); }

std::string Chr(int code) { return std::string(1, static_cast<char>(code & 0xFF)); }

int ToInt(const std::string& s) { return static_cast<int>(static_cast<uint32_t>(ParseInteger(s))); }

int64_t ToLong(const std::string& s) { return static_cast<int64_t>(ParseInteger(s)); }

double ToFloat(const std::string& s) {
    // The text is read as C text: an embedded zero byte ends it.
    return std::strtod(s.c_str(), nullptr);
}

std::string Str(int64_t value) { return std::to_string(value); }

std::string Str(double value) {
    char buf[64];
    const auto result = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, result.ptr);
}
