// service.cpp — logins, submissions and tables.
#include "tools/scoreserver/service.h"

#include <sodium.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "game/identity.h"

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
// Remembered passwords; beyond this they are all forgotten (a forgotten
// password only costs one slow hash again).
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

int64_t WallMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

// ---------------------------------------------------------------------------
// Checks that need no state
// ---------------------------------------------------------------------------
std::optional<std::string> KeyForWeek(int week) {
    // The game's identity, the same constants the game registers at start-up.
    static const std::pair<int, std::string> served = std::make_pair(
        FlingoWeek,
        MakeScoreKey(std::string(FlingoTitle) + " " + FlingoSubtitle, FlingoDescription, FlingoWeek));
    if (week != served.first) return std::nullopt;
    return served.second;
}

bool AccountNameAllowed(const std::string& name) {
    if (name.size() < 4 || name.size() > 32) return false;
    // Look-alike spaces count as spaces here too.
    if (NameKey(name).size() < 4 || NameKey(std::string(1, name.front())).empty() ||
        NameKey(std::string(1, name.back())).empty())
        return false;
    for (char ch : name) {
        const int c = static_cast<unsigned char>(ch);
        if (!NameCharAllowed(c) || (c >= 127 && c < 160)) return false;
        // "<" and ">": the game takes a table holding "<HEAD>" for a missing one.
        if (SanitisedChars.find(ch) != std::string::npos || ch == '<' || ch == '>') return false;
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
ScoreService::ScoreService(ServiceConfig config) : clock(WallMs), config_(std::move(config)) {
    if (config_.hashOps == 0) config_.hashOps = crypto_pwhash_OPSLIMIT_INTERACTIVE;
    if (config_.hashMemory == 0) config_.hashMemory = crypto_pwhash_MEMLIMIT_INTERACTIVE;
    // sodium_init is safe to call again; the server's main checks its result.
    sodiumReady_ = sodium_init() >= 0;
    randombytes_buf(digestKey_, sizeof digestKey_);
}

bool ScoreService::Open(const std::string& where, std::string& error, int64_t* cleaned) {
    store_ = OpenStore(where, error, false, cleaned);
    return store_ != nullptr;
}

StoreCounts ScoreService::Counts() { return store_->Counts(); }

Answer ScoreService::Handle(const Request& r, const std::string& address) {
    switch (r.route) {
        case Route::Login:
        case Route::Score: {
            Credentials c;
            std::string why;
            const bool login = r.route == Route::Login;
            if (!Unpack(r.week, r.input, !login, c, why))
                return Refusal(400, login ? "WRONG PASSWORD" : "REFUSED", why);
            auto p = std::make_shared<Pending>();
            p->c = std::move(c);
            p->key = NameKey(p->c.name);
            p->address = address;
            if (!login) {
                p->record = ParseSubmittedRecord(p->c.rest);
                if (!p->record || p->record->Level > config_.maxLevel ||
                    p->record->GameFlags > config_.maxFlags)
                    return Refusal(400, "REFUSED", "bad record");
            }
            if (const auto check = CheckFast(*p, login))
                return login ? LoginAnswer(*check) : SubmitAnswer(*p, *check);
            Answer slow;
            slow.slow = [this, p, login] {
                const Check check = CheckSlow(*p);
                return login ? LoginAnswer(check) : SubmitAnswer(*p, check);
            };
            return slow;
        }
        case Route::Table: return Table(r.week, r.tableId);
        case Route::NotFound: return MissingTable("no such path");
        case Route::Bad: break;
    }
    return Refusal(400, "Bad request\n", "bad request");
}

// The game's two posted requests, answered in full (a slow answer waited for).
static Answer Posted(ScoreService& service, Route route, const std::string& week,
                     const std::string& payload, const std::string& address) {
    Request r;
    r.route = route;
    r.week = week;
    r.input = payload;
    return Settle(service.Handle(r, address));
}

Answer ScoreService::Login(const std::string& week, const std::string& payload,
                           const std::string& address) {
    return Posted(*this, Route::Login, week, payload, address);
}

Answer ScoreService::Submit(const std::string& week, const std::string& payload,
                            const std::string& address) {
    return Posted(*this, Route::Score, week, payload, address);
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

std::string ScoreService::Digest(const std::string& key, const std::string& password) const {
    // Keyed with a per-process random key: equal only for the same name and
    // password, and useless outside this process.
    const std::string text = key + '\0' + password;
    unsigned char out[32];
    crypto_generichash(out, sizeof out, reinterpret_cast<const unsigned char*>(text.data()),
                       text.size(), digestKey_, sizeof digestKey_);
    return std::string(reinterpret_cast<char*>(out), sizeof out);
}

std::optional<ScoreService::Check> ScoreService::CheckFast(Pending& p, bool mayRegister) {
    p.failures = store_->Failures(p.key, p.address, clock(), config_.lockMs);
    if (p.failures >= config_.failLimit) return Check::Locked;
    p.account = store_->FindAccount(p.key);
    if (!p.account) {
        if (!mayRegister) return Check::Unknown;
        // Counted before the hash, so a flood of new names is turned away
        // before it costs anything.
        if (config_.registrationsPerHour > 0 &&
            store_->NoteRegistration(p.address, clock() / 3600000) > config_.registrationsPerHour)
            return Check::TooMany;
        return std::nullopt;
    }
    const std::string digest = Digest(p.key, p.c.password);
    bool matches = false;
    {
        std::lock_guard<std::mutex> lock(verifiedMutex_);
        auto it = verified_.find(p.key);
        if (it == verified_.end()) return std::nullopt;
        matches = sodium_memcmp(it->second.data(), digest.data(), digest.size()) == 0;
    }
    return Verified(p, matches);
}

ScoreService::Check ScoreService::CheckSlow(Pending& p) {
    if (!sodiumReady_) return Check::Failed;
    if (!p.account) {
        char hash[crypto_pwhash_STRBYTES];
        if (crypto_pwhash_str(hash, p.c.password.data(), p.c.password.size(), config_.hashOps,
                              config_.hashMemory) != 0)
            return Check::Failed;
        const bool added = store_->AddAccount(p.key, p.c.name, hash);
        p.account = store_->FindAccount(p.key);
        if (!p.account) return Check::Failed;
        if (added) {
            Verified(p, true);
            return Check::Registered;
        }
        // Someone registered the name meanwhile (maybe through another
        // server): check against theirs.
    }
    return Verified(p, crypto_pwhash_str_verify(p.account->hash.c_str(), p.c.password.data(),
                                                p.c.password.size()) == 0);
}

ScoreService::Check ScoreService::Verified(Pending& p, bool matches) {
    if (!matches) {
        // Keyed with the database's secret, so every server counts a held
        // button once; only 8 bytes are kept, too few to test passwords by.
        const std::string secret = store_->Secret();
        const std::string text = p.key + '\0' + p.c.password;
        unsigned char out[8];
        crypto_generichash(out, sizeof out, reinterpret_cast<const unsigned char*>(text.data()),
                           text.size(), reinterpret_cast<const unsigned char*>(secret.data()),
                           std::min<size_t>(secret.size(), crypto_generichash_KEYBYTES_MAX));
        char hex[sizeof out * 2 + 1];
        sodium_bin2hex(hex, sizeof hex, out, sizeof out);
        store_->NoteFailure(p.key, p.address, clock(), config_.lockMs, hex,
                            config_.sameAttemptMs);
        return Check::Wrong;
    }
    if (p.failures > 0) store_->ClearFailures(p.key, p.address);
    std::lock_guard<std::mutex> lock(verifiedMutex_);
    if (verified_.size() >= MaxRememberedAccounts) verified_.clear();
    verified_[p.key] = Digest(p.key, p.c.password);
    return Check::Ok;
}

Answer ScoreService::LoginAnswer(Check check) {
    const std::string refused = "WRONG PASSWORD";
    switch (check) {
        case Check::Registered: return Answer{200, "Welcome!|" + config_.motd, "registered"};
        case Check::Ok: return Answer{200, "Password Correct|" + config_.motd, "logged in"};
        case Check::Wrong: return Refusal(403, refused, "wrong password");
        case Check::Locked: return Refusal(429, LockedBody, "locked");
        case Check::TooMany: return Refusal(429, refused, "too many new names");
        case Check::Unknown:
        case Check::Failed: break;
    }
    return Refusal(500, refused, "failed");
}

Answer ScoreService::SubmitAnswer(Pending& p, Check check) {
    switch (check) {
        case Check::Ok: break;
        case Check::Wrong: return Refusal(403, "WRONG PASSWORD", "wrong password");
        case Check::Locked: return Refusal(429, LockedBody, "locked");
        case Check::Unknown: return Refusal(403, "WRONG PASSWORD", "unknown account");
        case Check::Registered:
        case Check::TooMany:
        case Check::Failed: return Refusal(500, "REFUSED", "failed");
    }
    // Filed under the account's own name: an entry never shows as someone
    // else's, and the game, which ignores this reply, has nothing to retry.
    p.record->Name = p.account->name;
    const auto added = store_->AddScore(p.account->id, p.c.week, *p.record, config_.quota);
    const std::string where = " table " + std::to_string(TableIdOf(*p.record));
    switch (added) {
        case Store::Added::Stored: return Answer{200, "OK", "stored" + where};
        case Store::Added::Duplicate: return Answer{200, "OK", "already stored" + where};
        case Store::Added::BelowQuota: return Answer{200, "OK", "below the account's best" + where};
        case Store::Added::Failed: break;
    }
    return Refusal(500, "REFUSED", "database write failed");
}

Answer ScoreService::Table(const std::string& week, int64_t tableId) {
    if (!Digits(week, 9) || !KeyForWeek(std::stoi(week))) return MissingTable("unknown week");
    const std::optional<std::string> text = store_->TableText(std::stoi(week), tableId);
    if (!text) return MissingTable("no table");
    const auto entries = std::count(text->begin(), text->end(), '\n') / 2;
    return Answer{200, *text, std::to_string(entries) + " entries"};
}

}  // namespace scoreserver
