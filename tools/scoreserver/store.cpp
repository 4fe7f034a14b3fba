// store.cpp — what both stores share: names as keys, table text, and the
// choice of store by the form of its address.
#include "tools/scoreserver/store.h"

#include <sodium.h>

namespace scoreserver {

int64_t TableIdOf(const Scores& r) {
    return int64_t{r.GameMode} + 100 * int64_t{r.Level} + 1000 * int64_t{r.GameFlags};
}

std::string NameKey(const std::string& name) {
    std::string key;
    for (char ch : name) {
        int c = static_cast<unsigned char>(ch);
        if (c == 0xAD) continue;               // soft hyphen: shows as nothing
        if (c == 0xA0) c = ' ';                // no-break space
        if (c >= 'A' && c <= 'Z') c += 32;
        if (c >= 0xC0 && c <= 0xDE && c != 0xD7) c += 32;  // Latin-1 capitals
        if (c == ' ' && (key.empty() || key.back() == ' ')) continue;
        key += static_cast<char>(c);
    }
    while (!key.empty() && key.back() == ' ') key.pop_back();
    return key;
}

std::string WithoutMarkup(const std::string& name) {
    std::string out = name;
    for (char& c : out) {
        if (c == '<') c = '(';
        if (c == '>') c = ')';
    }
    return out;
}

namespace storedetail {

std::string BestText(const Scores& r) {
    std::string s;
    for (int i = 1; i <= 30; ++i) {
        if (i > 1) s += "|";
        s += std::to_string(r.Best[i]);
    }
    return s;
}

std::string EntryText(const Scores& r, const std::string& best) {
    // The file's record line, with its separator turned into the line break
    // between an entry's two lines.
    std::string line = RecordText(r);
    line = line.substr(0, line.find(RecordSeparator));
    return line + "\n" + best + "\n";
}

void ReadBest(const std::string& text, Scores& r) {
    size_t pos = 0;
    for (int i = 1; i <= 30 && pos <= text.size(); ++i) {
        const size_t bar = text.find('|', pos);
        r.Best[i] = std::atoi(text.substr(pos, bar == std::string::npos ? bar : bar - pos).c_str());
        if (bar == std::string::npos) break;
        pos = bar + 1;
    }
}

std::string RandomHex(size_t bytes) {
    std::string raw(bytes, '\0');
    randombytes_buf(raw.data(), raw.size());
    std::string hex(bytes * 2 + 1, '\0');
    sodium_bin2hex(hex.data(), hex.size(), reinterpret_cast<const unsigned char*>(raw.data()),
                   raw.size());
    hex.pop_back();
    return hex;
}

}  // namespace storedetail

std::unique_ptr<Store> OpenStore(const std::string& where, std::string& error, bool readOnly,
                                 int64_t* cleaned) {
    if (sodium_init() < 0) {
        error = "libsodium cannot start";
        return nullptr;
    }
    if (where.rfind("postgresql://", 0) == 0 || where.rfind("postgres://", 0) == 0)
        return storedetail::OpenPostgres(where, error, cleaned);
    return storedetail::OpenSqlite(where, error, readOnly, cleaned);
}

}  // namespace scoreserver

#ifndef FLINGO_HAVE_LIBPQ
namespace scoreserver::storedetail {
std::unique_ptr<Store> OpenPostgres(const std::string&, std::string& error, int64_t*) {
    error = "this scoreserver was built without PostgreSQL (libpq)";
    return nullptr;
}
}  // namespace scoreserver::storedetail
#endif
