// service.h — what the score server answers: logins (registering new names),
// score submissions and table fetches, on top of the database.
//
// Payloads are the game's own scrambled text: the outer layer with the key of
// the game's week, the credential block inside it with the account key. A
// request that does not unscramble, a malformed record, a name the game would
// not send or an unknown week is refused and nothing is stored. Passwords are
// kept only as salted slow hashes; a correct password is remembered for the
// life of the process as a keyed digest, so a player's later submissions do
// not pay for the slow hash again. Wrong passwords lock an account for a while.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <semaphore>
#include <string>
#include <unordered_map>

#include "scores/scores.h"
#include "tools/scoreserver/http.h"
#include "tools/scoreserver/store.h"

namespace scoreserver {

// What one request gets: HTTP status, body, and a word or two for the log.
struct Answer {
    int status = 200;
    std::string body;
    std::string result;
    std::string type = "text/plain; charset=ISO-8859-1";
};

struct ServiceConfig {
    std::string motd;            // message of the day, already cleaned by CleanMotd
    int failLimit = 5;           // wrong passwords in a row before the lock
    int64_t lockMs = 60000;      // how long a locked account refuses every login
    // libsodium's password-hash cost; tests lower it to keep runs short.
    unsigned long long hashOps = 0;  // 0: the library's interactive level
    size_t hashMemory = 0;           // bytes; 0: the library's interactive level
    int hashSlots = 2;           // slow hashes computed at once (each takes hashMemory)
};

// The week numbers and keys of the games this server serves (this build's
// game: week 283, its key made from its title and description).
std::optional<std::string> KeyForWeek(int week);

// Account names: 4 to 32 characters the game's login form lets through
// (codes 32..126 and 160..255, none of the 17 it turns into "_", no "|" or
// section sign), no space at either end.
bool AccountNameAllowed(const std::string& name);

// A record line as the game sends it (fields, the framed separator, 30
// bests), checked field by field and built by the score file's own parser.
// None when anything is missing, extra, non-numeric or out of range.
ScoreRef ParseSubmittedRecord(const std::string& line);

// The message of the day as the login reply can carry it: CR dropped, blank
// lines dropped (a blank line would end the reply body the game reads), "|"
// turned into "/", at most 19 lines of at most 200 characters.
std::string CleanMotd(const std::string& text);

class ScoreService {
public:
    explicit ScoreService(ServiceConfig config = {});

    bool Open(const std::string& dbFile, std::string& error);

    Answer Handle(const Request& request);
    Answer Login(const std::string& week, const std::string& payload);
    Answer Submit(const std::string& week, const std::string& payload);
    Answer Table(const std::string& week, int64_t tableId);

    StoreCounts Counts();

    // Milliseconds for the lock-out; tests replace it with a clock of their own.
    std::function<int64_t()> clock;

private:
    struct Credentials {
        std::string name, password;
        int week = 0;
        std::string rest;  // the record line of a submission
    };
    enum class Check { Ok, Registered, Wrong, Locked, Unknown, Failed };

    // Unscrambles both layers; false with `why` for the log when refused.
    bool Unpack(const std::string& week, const std::string& payload, bool withRecord,
                Credentials& out, std::string& why);
    // Checks (or, with `mayRegister`, creates) the account.
    Check CheckAccount(const Credentials& c, bool mayRegister, int64_t& accountId);
    std::string Digest(const std::string& name, const std::string& password) const;
    bool Locked(const std::string& name);
    void NoteFailure(const std::string& name);
    void NoteSuccess(const std::string& name, const std::string& digest);

    ServiceConfig config_;
    std::mutex storeMutex_;
    ScoreStore store_;

    struct Attempts {
        int failures = 0;
        int64_t lastMs = 0;
    };
    std::mutex accountsMutex_;
    std::unordered_map<std::string, Attempts> attempts_;
    std::unordered_map<std::string, std::string> verified_;  // name → digest of the password
    unsigned char digestKey_[32];  // random per process; never stored

    std::counting_semaphore<64> hashSlots_;
};

}  // namespace scoreserver
