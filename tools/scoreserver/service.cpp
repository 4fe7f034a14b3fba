// service.cpp — logins, submissions and tables.
#include "tools/scoreserver/service.h"

#include <sodium.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "app/app.h"
#include "app/globals.h"

namespace scoreserver {

namespace {

// The characters the game's login form turns into "_" before it sends.
const std::string SanitisedChars = "*\"'-+&?{}[]~#\\/:;";
// The game's record line joins its fields and its bests with this. Built on
// first use: RecordSeparator lives in another file, so a namespace-scope copy
// could be made before it.
const std::string& FramedSeparator() {
    static const std::string framed = "|" + RecordSeparator + "|";
    return framed;
}

constexpr size_t MaxPasswordLength = 128;
constexpr size_t MaxRecordNameLength = 64;
// Remembered passwords and lock-out entries; beyond this the oldest state is
// simply forgotten (a forgotten password only costs one slow hash again).
constexpr size_t MaxRememberedAccounts = 100000;

bool Digits(const std::string& s, size_t maxLength) {
    if (s.empty() || s.size() > maxLength) return false;
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool UpperHex(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
    });
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> out;
    size_t pos = 0;
    while (true) {
        const size_t next = text.find(separator, pos);
        out.push_back(text.substr(pos, next == std::string::npos ? std::string::npos : next - pos));
        if (next == std::string::npos) return out;
        pos = next + 1;
    }
}

Answer Refusal(int status, const std::string& body, const std::string& result) {
    return Answer{status, body, result};
}

Answer MissingTable(const std::string& result) {
    return Answer{404, NotFoundPage(), result, "text/html; charset=ISO-8859-1"};
}

int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

// ---------------------------------------------------------------------------
// Checks that need no state
// ---------------------------------------------------------------------------
std::optional<std::string> KeyForWeek(int week) {
    // The game's identity as the game itself sets it at start-up.
    static const std::pair<int, std::string> served = [] {
        InitGlobals();
        return std::make_pair(WeekNumber,
                              MakeScoreKey(GameTitle + " " + GameSubtitle, GameDescription,
                                           WeekNumber));
    }();
    if (week != served.first) return std::nullopt;
    return served.second;
}

bool AccountNameAllowed(const std::string& name) {
    if (name.size() < 4 || name.size() > 32) return false;
    if (name.front() == ' ' || name.back() == ' ') return false;
    for (char ch : name) {
        const int c = static_cast<unsigned char>(ch);
        if (!NameCharAllowed(c) || (c >= 127 && c < 160)) return false;
        if (SanitisedChars.find(ch) != std::string::npos) return false;
    }
    return true;
}

ScoreRef ParseSubmittedRecord(const std::string& line) {
    const size_t sep = line.find(FramedSeparator());
    if (sep == std::string::npos) return nullptr;
    const std::string fieldsText = line.substr(0, sep);
    const std::string bestText = line.substr(sep + FramedSeparator().size());
    const auto fields = Split(fieldsText, '|');
    const auto best = Split(bestText, '|');
    if (fields.size() != 8 || best.size() != 30) return nullptr;

    // Score and Timestamp are 64-bit (18 digits always fit); every other
    // number is a non-negative 32-bit field (9 digits always fit).
    if (!Digits(fields[0], 18) || !Digits(fields[3], 18)) return nullptr;
    for (int i : {2, 4, 5, 6, 7})
        if (!Digits(fields[i], 9)) return nullptr;
    for (const auto& b : best)
        if (!Digits(b, 9)) return nullptr;
    const std::string& name = fields[1];
    if (name.size() > MaxRecordNameLength) return nullptr;
    for (char ch : name) {
        const int c = static_cast<unsigned char>(ch);
        if (!NameCharAllowed(c) || (c >= 127 && c < 160)) return nullptr;
    }

    ScoreRef r = ParseRecord(fieldsText, bestText);
    if (!r || r->GameMode > 2 || r->Quit > 1) return nullptr;
    return r;
}

std::string CleanMotd(const std::string& text) {
    std::string out;
    int lines = 0;
    for (std::string line : Split(text, '\n')) {
        line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
        std::replace(line.begin(), line.end(), '|', '/');
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.pop_back();
        if (line.empty()) continue;
        if (line.size() > 200) line.resize(200);
        if (lines == 19) break;
        if (lines++) out += "\n";
        out += line;
    }
    return out;
}

// ---------------------------------------------------------------------------
// Service
// ---------------------------------------------------------------------------
ScoreService::ScoreService(ServiceConfig config)
    : clock(SteadyMs), config_(std::move(config)),
      hashSlots_(std::clamp(config_.hashSlots, 1, 64)) {
    if (config_.hashOps == 0) config_.hashOps = crypto_pwhash_OPSLIMIT_INTERACTIVE;
    if (config_.hashMemory == 0) config_.hashMemory = crypto_pwhash_MEMLIMIT_INTERACTIVE;
    // sodium_init is safe to call again; the server's main checks its result.
    if (sodium_init() < 0) config_.hashSlots = 0;
    randombytes_buf(digestKey_, sizeof digestKey_);
}

bool ScoreService::Open(const std::string& dbFile, std::string& error) {
    std::lock_guard<std::mutex> lock(storeMutex_);
    return store_.Open(dbFile, error);
}

StoreCounts ScoreService::Counts() {
    std::lock_guard<std::mutex> lock(storeMutex_);
    return store_.Counts();
}

Answer ScoreService::Handle(const Request& r) {
    switch (r.route) {
        case Route::Login: return Login(r.week, r.input);
        case Route::Score: return Submit(r.week, r.input);
        case Route::Table: return Table(r.week, r.tableId);
        case Route::NotFound: return MissingTable("no such path");
        case Route::Bad: break;
    }
    return Refusal(400, "Bad request\n", "bad request");
}

bool ScoreService::Unpack(const std::string& week, const std::string& payload, bool withRecord,
                          Credentials& c, std::string& why) {
    if (!Digits(week, 9)) {
        why = "unknown week";
        return false;
    }
    c.week = std::stoi(week);
    const auto key = KeyForWeek(c.week);
    if (!key) {
        why = "unknown week";
        return false;
    }
    if (payload.empty() || !UpperHex(payload)) {
        why = "bad payload";
        return false;
    }
    const std::string outer = Unscramble(payload, *key);
    if (outer == "XXX") {
        why = "bad payload";
        return false;
    }
    // name "|" credential block [ "|" record line ]
    const size_t bar1 = outer.find('|');
    const size_t bar2 = bar1 == std::string::npos ? bar1 : outer.find('|', bar1 + 1);
    if (bar1 == std::string::npos || (withRecord && bar2 == std::string::npos)) {
        why = "bad payload";
        return false;
    }
    c.name = outer.substr(0, bar1);
    const std::string block = withRecord ? outer.substr(bar1 + 1, bar2 - bar1 - 1)
                                         : outer.substr(bar1 + 1);
    if (withRecord) c.rest = outer.substr(bar2 + 1);
    if (!UpperHex(block)) {
        why = "bad payload";
        return false;
    }
    const std::string inner = Unscramble(block, AccountKey);
    const size_t bar = inner.find('|');
    if (inner == "XXX" || bar == std::string::npos || inner.substr(0, bar) != c.name) {
        why = "bad payload";
        return false;
    }
    c.password = inner.substr(bar + 1);
    if (!AccountNameAllowed(c.name)) {
        why = "name refused";
        return false;
    }
    if (c.password.size() < 4 || c.password.size() > MaxPasswordLength) {
        why = "password refused";
        return false;
    }
    return true;
}

std::string ScoreService::Digest(const std::string& name, const std::string& password) const {
    // Keyed with a per-process random key: equal only for the same name and
    // password, and useless outside this process.
    const std::string text = name + '\0' + password;
    unsigned char out[32];
    crypto_generichash(out, sizeof out, reinterpret_cast<const unsigned char*>(text.data()),
                       text.size(), digestKey_, sizeof digestKey_);
    return std::string(reinterpret_cast<char*>(out), sizeof out);
}

bool ScoreService::Locked(const std::string& name) {
    std::lock_guard<std::mutex> lock(accountsMutex_);
    auto it = attempts_.find(name);
    if (it == attempts_.end()) return false;
    if (clock() - it->second.lastMs >= config_.lockMs) {
        attempts_.erase(it);  // the lock has run out: a fresh count
        return false;
    }
    return it->second.failures >= config_.failLimit;
}

void ScoreService::NoteFailure(const std::string& name) {
    std::lock_guard<std::mutex> lock(accountsMutex_);
    if (attempts_.size() >= MaxRememberedAccounts && !attempts_.count(name)) {
        const int64_t now = clock();
        std::erase_if(attempts_, [&](const auto& e) {
            return now - e.second.lastMs >= config_.lockMs;
        });
    }
    Attempts& a = attempts_[name];
    ++a.failures;
    a.lastMs = clock();
}

void ScoreService::NoteSuccess(const std::string& name, const std::string& digest) {
    std::lock_guard<std::mutex> lock(accountsMutex_);
    attempts_.erase(name);
    if (verified_.size() >= MaxRememberedAccounts) verified_.clear();
    verified_[name] = digest;
}

ScoreService::Check ScoreService::CheckAccount(const Credentials& c, bool mayRegister,
                                               int64_t& accountId) {
    if (Locked(c.name)) return Check::Locked;
    std::optional<Account> account;
    {
        std::lock_guard<std::mutex> lock(storeMutex_);
        account = store_.FindAccount(c.name);
    }
    const std::string digest = Digest(c.name, c.password);

    if (!account) {
        if (!mayRegister) return Check::Unknown;
        if (config_.hashSlots <= 0) return Check::Failed;
        char hash[crypto_pwhash_STRBYTES];
        int rc;
        {
            hashSlots_.acquire();
            rc = crypto_pwhash_str(hash, c.password.data(), c.password.size(), config_.hashOps,
                                   config_.hashMemory);
            hashSlots_.release();
        }
        if (rc != 0) return Check::Failed;
        std::lock_guard<std::mutex> lock(storeMutex_);
        if (store_.AddAccount(c.name, hash)) {
            account = store_.FindAccount(c.name);
            if (!account) return Check::Failed;
            accountId = account->id;
            NoteSuccess(c.name, digest);
            return Check::Registered;
        }
        // Someone registered the name meanwhile: check against theirs.
        account = store_.FindAccount(c.name);
        if (!account) return Check::Failed;
    }
    accountId = account->id;

    bool remembered = false, matches = false;
    {
        std::lock_guard<std::mutex> lock(accountsMutex_);
        auto it = verified_.find(c.name);
        if (it != verified_.end()) {
            remembered = true;
            matches = sodium_memcmp(it->second.data(), digest.data(), digest.size()) == 0;
        }
    }
    if (!remembered) {
        if (config_.hashSlots <= 0) return Check::Failed;
        hashSlots_.acquire();
        matches = crypto_pwhash_str_verify(account->hash.c_str(), c.password.data(),
                                           c.password.size()) == 0;
        hashSlots_.release();
    }
    if (!matches) {
        NoteFailure(c.name);
        return Check::Wrong;
    }
    NoteSuccess(c.name, digest);
    return Check::Ok;
}

Answer ScoreService::Login(const std::string& week, const std::string& payload) {
    const std::string refused = "WRONG PASSWORD";
    Credentials c;
    std::string why;
    if (!Unpack(week, payload, false, c, why)) return Refusal(400, refused, why);
    int64_t id = 0;
    switch (CheckAccount(c, true, id)) {
        case Check::Registered: return Answer{200, "Welcome!|" + config_.motd, "registered"};
        case Check::Ok: return Answer{200, "Password Correct|" + config_.motd, "logged in"};
        case Check::Wrong: return Refusal(403, refused, "wrong password");
        case Check::Locked: return Refusal(429, refused, "locked");
        case Check::Unknown:
        case Check::Failed: break;
    }
    return Refusal(500, refused, "failed");
}

Answer ScoreService::Submit(const std::string& week, const std::string& payload) {
    Credentials c;
    std::string why;
    if (!Unpack(week, payload, true, c, why)) return Refusal(400, "REFUSED", why);
    ScoreRef record = ParseSubmittedRecord(c.rest);
    if (!record) return Refusal(400, "REFUSED", "bad record");
    int64_t id = 0;
    switch (CheckAccount(c, false, id)) {
        case Check::Ok: break;
        case Check::Wrong: return Refusal(403, "WRONG PASSWORD", "wrong password");
        case Check::Locked: return Refusal(429, "WRONG PASSWORD", "locked");
        case Check::Unknown: return Refusal(403, "WRONG PASSWORD", "unknown account");
        case Check::Registered:
        case Check::Failed: return Refusal(500, "REFUSED", "failed");
    }
    ScoreStore::Added added;
    {
        std::lock_guard<std::mutex> lock(storeMutex_);
        added = store_.AddScore(id, c.week, *record);
    }
    const std::string where = " table " + std::to_string(TableIdOf(*record));
    switch (added) {
        case ScoreStore::Added::Stored: return Answer{200, "OK", "stored" + where};
        case ScoreStore::Added::Duplicate: return Answer{200, "OK", "already stored" + where};
        case ScoreStore::Added::Failed: break;
    }
    return Refusal(500, "REFUSED", "database write failed");
}

Answer ScoreService::Table(const std::string& week, int64_t tableId) {
    if (!Digits(week, 9) || !KeyForWeek(std::stoi(week))) return MissingTable("unknown week");
    std::optional<std::string> text;
    {
        std::lock_guard<std::mutex> lock(storeMutex_);
        text = store_.TableText(std::stoi(week), tableId);
    }
    if (!text) return MissingTable("no table");
    const auto entries = std::count(text->begin(), text->end(), '\n') / 2;
    return Answer{200, *text, std::to_string(entries) + " entries"};
}

}  // namespace scoreserver
