// The text utilities and the game's string helpers on arbitrary text and
// numbers. Input: two 32-bit numbers and an 8-byte double, then up to three
// strings split at byte 1 (text, a part to look for, its replacement).
#include <cmath>
#include <cstring>

#include "draw/strings.h"
#include "platform/platform.h"
#include "tests/fuzz/fuzz.h"

namespace {

size_t Count(const std::string& s, const std::string& sub) {
    size_t n = 0;
    for (size_t at = s.find(sub); at != std::string::npos; at = s.find(sub, at + sub.size())) ++n;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const std::string numbers("\x05\0\0\0\xfd\xff\xff\xff\0\0\0\0\0\0\xf8\x3f", 16);
    fuzz::WriteSeedsIfAsked({{"words", numbers + "Hello, World\x01o\x01\xe9\xe9"},
                             {"numbers", numbers + "  -$7fffFFFF\x01%1010\x01" "1e308"},
                             {"fields", numbers + "a|b\xa7" "c|d\x01|\x01" "07 Dec 2026"}});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 16) return 0;
    int32_t a, b;
    double d;
    std::memcpy(&a, data, 4);
    std::memcpy(&b, data + 4, 4);
    std::memcpy(&d, data + 8, 8);
    std::string parts[3];
    int part = 0;
    for (size_t i = 16; i < size; ++i) {
        if (data[i] == 1 && part < 2) ++part;
        else parts[part] += static_cast<char>(data[i]);
    }
    const std::string& s = parts[0];
    const std::string& sub = parts[1];
    const std::string& with = parts[2];
    const int64_t len = static_cast<int64_t>(s.size());

    const std::string left = Left(s, a), right = Right(s, a);
    const size_t keep = static_cast<size_t>(std::clamp<int64_t>(a, 0, len));
    FUZZ_CHECK(left == s.substr(0, keep) && right == s.substr(s.size() - keep));
    const std::string mid = Mid(s, a, b);
    if (!mid.empty()) FUZZ_CHECK(s.compare(size_t(std::max(a, 1)) - 1, mid.size(), mid) == 0);
    if (b >= 0) FUZZ_CHECK(mid.size() <= size_t(b));

    const int at = Instr(s, sub, a);
    if (at > 0) FUZZ_CHECK(at >= a && s.compare(size_t(at) - 1, sub.size(), sub) == 0);
    if (!sub.empty()) {
        const std::string replaced = Replace(s, sub, with);
        const size_t n = Count(s, sub);
        FUZZ_CHECK(replaced.size() == s.size() + n * with.size() - n * sub.size());
        if (n == 0) FUZZ_CHECK(replaced == s);
    }

    const std::string trimmed = Trim(s);
    if (!trimmed.empty()) {
        FUZZ_CHECK(static_cast<unsigned char>(trimmed.front()) >= 33);
        FUZZ_CHECK(static_cast<unsigned char>(trimmed.back()) >= 33);
    }
    FUZZ_CHECK(Upper(s).size() == s.size() && Lower(s).size() == s.size());
    FUZZ_CHECK(Upper(Lower(Upper(s))) == Upper(s));
    FUZZ_CHECK(Asc(Chr(a)) == (a & 0xFF));

    // Numbers: text forms read back exactly; reading any text is safe.
    FUZZ_CHECK(ToInt(Str(int64_t{a})) == a);
    const int64_t wide = (int64_t(a) << 32) ^ uint32_t(b);
    FUZZ_CHECK(ToLong(Str(wide)) == wide);
    if (std::isfinite(d)) FUZZ_CHECK(ToFloat(Str(d)) == d);
    ToInt(s);
    ToFloat(s);
    HexToInt(s);

    const int64_t stamp = ToLong(s);
    DateText(stamp);
    ClockText(stamp);
    DateStamp(with);
    BitSet(wide, a);
    // Field numbers in the game are small constants; a huge one only loops.
    if (!sub.empty()) SplitField(s, sub, 1 + (a & 63));
    return 0;
}
