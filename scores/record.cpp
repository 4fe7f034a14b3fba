// record.cpp — the Scores record, its text and the scrambler.
#include "scores/record.h"

#include <climits>

#include "draw/strings.h"
#include "platform/platform.h"

const std::string AccountKey = "7QM24RT8";
std::string DefaultKey;
const std::string RecordSeparator = ":}+=\xA7!M52gQ7^";
// Here, after RecordSeparator, because it is made from it: globals of one file
// are built in order, those of different files in no fixed order.
const std::string FramedSeparator = "|" + RecordSeparator + "|";
void (*DefaultKeyBuilder)() = nullptr;

namespace {

const std::string& KeyOrDefault(const std::string& key) {
    if (!key.empty()) return key;
    if (DefaultKey.empty() && DefaultKeyBuilder) DefaultKeyBuilder();
    return DefaultKey;
}

// code(i) XOR key[(i mod K) + 1] for 1-based i: text position 1 meets key
// position 2, key position 1 meets positions K, 2K, ...
std::string XorWithKey(const std::string& text, const std::string& key) {
    std::string out(text.size(), '\0');
    const size_t k = key.size();
    for (size_t j = 0; j < text.size(); ++j) {
        const unsigned char c = static_cast<unsigned char>(text[j]);
        const unsigned char kc = static_cast<unsigned char>(key[(j + 1) % k]);
        out[j] = static_cast<char>(c ^ kc);
    }
    return out;
}

// Left rotation by r: result[j] = text[(j + r) mod n].
std::string RotateLeft(const std::string& text, int64_t r) {
    const int64_t n = static_cast<int64_t>(text.size());
    if (n == 0) return text;
    r %= n;
    if (r < 0) r += n;
    return text.substr(static_cast<size_t>(r)) + text.substr(0, static_cast<size_t>(r));
}

std::string SixDigits(int value) {
    std::string s = "000000" + std::to_string(value);
    return s.substr(s.size() - 6);
}

// One scramble layer: rotate by the checksum, append it as six digits, XOR.
std::string ScrambleLayer(const std::string& text, const std::string& key) {
    const int c = ScoreChecksum(text);
    const int64_t n = static_cast<int64_t>(text.size());
    const std::string rotated = n > 0 ? RotateLeft(text, c % n) : text;
    return XorWithKey(rotated + SixDigits(c), key);
}

// The inverse of one layer after its XOR: read and drop the six digits, undo
// the rotation, check the sum. False when the text cannot hold a checksum and
// one character, or when the sum does not match.
bool UnscrambleLayer(const std::string& text, std::string& out) {
    if (text.size() < 7) return false;
    const std::string digits = text.substr(text.size() - 6);
    const int64_t b = ToInt(digits);
    const std::string body = text.substr(0, text.size() - 6);
    const int64_t n = static_cast<int64_t>(body.size());
    out = RotateLeft(body, -(b % n));
    return ScoreChecksum(out) == b;
}

int HexDigit(char c) {
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= '0' && c <= '9') return c - '0';
    return 0;  // lower-case letters and anything else
}

// A 32-bit field of a record line: the absolute value, saturated so that the
// most negative int cannot overflow.
int AbsField(const std::string& field) {
    const int v = ToInt(field);
    if (v == INT_MIN) return INT_MAX;
    return v < 0 ? -v : v;
}

}  // namespace

// ---------------------------------------------------------------------------
// Record
// ---------------------------------------------------------------------------
int Scores::Compare(const Scores* other) const {
    if (!other) return 1;
    // Sign of other.Timestamp − Timestamp, without the subtraction overflowing.
    if (other->Timestamp > Timestamp) return 1;
    if (other->Timestamp < Timestamp) return -1;
    return 0;
}

// ---------------------------------------------------------------------------
// Scrambler
// ---------------------------------------------------------------------------
int ScoreChecksum(const std::string& text) {
    int64_t c = 0;
    for (size_t j = 0; j < text.size(); ++j) {
        const int64_t code = static_cast<unsigned char>(text[j]);
        c = (c + code * static_cast<int64_t>(j + 1) * 3) % 4096;
    }
    return static_cast<int>(c);
}

std::string Scramble(const std::string& text, const std::string& key) {
    const std::string& k = KeyOrDefault(key);
    const std::string inner = ScrambleLayer(text, k);
    const std::string outer = ScrambleLayer(inner, k);
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(outer.size() * 2);
    for (char ch : outer) {
        const unsigned char c = static_cast<unsigned char>(ch);
        out += hex[c >> 4];
        out += hex[c & 15];
    }
    return out;
}

std::string Unscramble(const std::string& text, const std::string& key) {
    const std::string& k = KeyOrDefault(key);
    std::string bytes;
    bytes.reserve(text.size() / 2);
    for (size_t j = 0; j + 1 < text.size(); j += 2) {
        bytes += static_cast<char>(HexDigit(text[j]) * 16 + HexDigit(text[j + 1]));
    }
    std::string inner, plain;
    if (!UnscrambleLayer(XorWithKey(bytes, k), inner)) return "XXX";
    if (!UnscrambleLayer(XorWithKey(inner, k), plain)) return "XXX";
    return plain;
}

std::string MakeScoreKey(const std::string& a, const std::string& d, int week) {
    std::string key;
    if (a.empty() || d.empty()) return key;
    const int la = static_cast<int>(a.size());
    const int ld = static_cast<int>(d.size());
    for (int i = 1; i <= la + ld; ++i) {
        int ca = static_cast<unsigned char>(a[i % la]);
        ca = (ca + week + 7 * i) % 76 + 32;
        ca = (ca + week + 5 * i) % 75 + 31;
        key += static_cast<char>(ca);
        int cd = static_cast<unsigned char>(d[i % ld]);
        cd = (cd + week + 3 * i) % 74 + 34;
        cd = (cd + week + 11 * i) % 71 + 36;
        key += static_cast<char>(cd);
    }
    return key;
}

// ---------------------------------------------------------------------------
// Records and list
// ---------------------------------------------------------------------------
std::string RecordText(const Scores& r) { return RecordText(r, RecordSeparator); }

std::string RecordText(const Scores& r, const std::string& separator) {
    std::string s = std::to_string(r.Score) + "|" + r.Name + "|" + std::to_string(r.Badges) +
                    "|" + std::to_string(r.Timestamp) + "|" + std::to_string(r.Level) + "|" +
                    std::to_string(r.GameMode) + "|" + std::to_string(r.GameFlags) + "|" +
                    std::to_string(r.Quit) + separator;
    for (int i = 1; i <= 30; ++i) {
        if (i > 1) s += "|";
        s += std::to_string(r.Best[i]);
    }
    return s;
}

ScoreRef ParseRecord(const std::string& text) {
    return ParseRecord(SplitField(text, RecordSeparator, 1), SplitField(text, RecordSeparator, 2));
}

ScoreRef ParseRecord(const std::string& a, const std::string& b) {
    if (a.find('|') == std::string::npos) return nullptr;
    auto r = std::make_shared<Scores>();
    r->Score = ToLong(SplitField(a, "|", 1));
    r->Name = Trim(SplitField(a, "|", 2));
    r->Badges = AbsField(SplitField(a, "|", 3));
    r->Timestamp = ToLong(SplitField(a, "|", 4));
    r->Level = AbsField(SplitField(a, "|", 5));
    r->GameMode = AbsField(SplitField(a, "|", 6));
    r->GameFlags = AbsField(SplitField(a, "|", 7));
    r->Quit = AbsField(SplitField(a, "|", 8));
    for (int i = 1; i <= 30; ++i) r->Best[i] = AbsField(SplitField(b, "|", i));
    return r;
}

bool NameCharAllowed(int code) { return code >= 32 && code <= 255 && code != '|' && code != 167; }
