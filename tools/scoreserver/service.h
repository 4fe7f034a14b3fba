// service.h — what the score server answers: logins (registering new names),
// score submissions and table fetches, on top of the store.
//
// Payloads are the game's own scrambled text: the outer layer with the key of
// the game's week, the credential block inside it with the account key. A
// request that does not unscramble, a malformed record, a name the game would
// not send or an unknown week is refused and nothing is stored. Passwords are
// kept only as salted slow hashes; a correct password is remembered for the
// life of the process as a keyed digest, so a player's later submissions do
// not pay for the slow hash again (passwords never change, so servers sharing
// a database cannot disagree about it).
//
// Wrong passwords lock one name for one address for a while, counted in the
// store so that every server sees the same count; guesses from elsewhere
// never lock the owner out. A score is filed under its account's name, never
// the name the record carries, so a table shows who filed each entry.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <memory>
#include <string>
#include <unordered_map>

#include "scores/record.h"
#include "tools/scoreserver/http.h"
#include "tools/scoreserver/store.h"

namespace scoreserver {

// What one request gets: HTTP status, body, and a word or two for the log.
struct Answer {
    Answer() = default;
    Answer(int status, std::string body, std::string result,
           std::string type = "text/plain; charset=ISO-8859-1")
        : status(status), body(std::move(body)), result(std::move(result)),
          type(std::move(type)) {}
    int status = 200;
    std::string body;
    std::string result;
    std::string type = "text/plain; charset=ISO-8859-1";
    // Set when the answer needs a slow password hash first: the server runs
    // it on its hashing threads, never on the threads that serve fetches.
    std::function<Answer()> slow;
};

// The answer itself: `a`, or what its slow part gives.
inline Answer Settle(Answer a) { return a.slow ? a.slow() : a; }

// What a locked name's login gets as its body.
constexpr const char* LockedBody = "LOCKED";

struct ServiceConfig {
    std::string motd;            // message of the day, already cleaned by CleanMotd
    int failLimit = 5;           // wrong passwords of one name from one address before the lock
    int64_t lockMs = 60000;      // how long the lock holds after the last wrong password
    int64_t sameAttemptMs = 2000;  // the same wrong password again within this counts once
    int registrationsPerHour = 10; // new names one address may register in an hour; 0: any
    int quota = 5;               // entries one account keeps in one table (its best)
    int maxLevel = 0;            // the highest Level and GameFlags a record may carry
    int maxFlags = 0;            //   (this game always sends 0; at most 9)
    // libsodium's password-hash cost; tests lower it to keep runs short.
    unsigned long long hashOps = 0;  // 0: the library's interactive level
    size_t hashMemory = 0;           // bytes; 0: the library's interactive level
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

    // Opens the store (see OpenStore); `cleaned` as there.
    bool Open(const std::string& where, std::string& error, int64_t* cleaned = nullptr);
    Store* store() { return store_.get(); }

    // `address`: the client's IP address, as the limits count it. A login or
    // submission may come back with a slow part (see Answer::slow).
    Answer Handle(const Request& request, const std::string& address);
    // Whole answers, slow part included (for tests and tools).
    Answer Login(const std::string& week, const std::string& payload,
                 const std::string& address = "127.0.0.1");
    Answer Submit(const std::string& week, const std::string& payload,
                  const std::string& address = "127.0.0.1");
    Answer Table(const std::string& week, int64_t tableId);

    StoreCounts Counts();

    // Wall-clock milliseconds for the lock-out and the hourly registration
    // count (shared with other servers); tests replace it with their own.
    std::function<int64_t()> clock;

private:
    struct Credentials {
        std::string name, password;
        int week = 0;
        std::string rest;  // the record line of a submission
    };
    enum class Check { Ok, Registered, Wrong, Locked, Unknown, TooMany, Failed };
    // One account check in progress: the fast part fills it, the slow part
    // (a password hash) finishes it.
    struct Pending {
        Credentials c;
        std::string key, address;
        std::optional<Account> account;
        int failures = 0;  // counted for this name and address before the check
        ScoreRef record;   // submissions only
    };

    // Unscrambles both layers; false with `why` for the log when refused.
    bool Unpack(const std::string& week, const std::string& payload, bool withRecord,
                Credentials& out, std::string& why);
    // The checks that need no slow hash; none when one is needed.
    std::optional<Check> CheckFast(Pending& p, bool mayRegister);
    Check CheckSlow(Pending& p);
    Check Verified(Pending& p, bool matches);
    Answer LoginAnswer(Check check);
    Answer SubmitAnswer(Pending& p, Check check);
    std::string Digest(const std::string& key, const std::string& password) const;

    ServiceConfig config_;
    std::unique_ptr<Store> store_;

    std::mutex verifiedMutex_;
    std::unordered_map<std::string, std::string> verified_;  // name key → digest of the password
    unsigned char digestKey_[32];  // random per process; never stored
    bool sodiumReady_ = true;
};

}  // namespace scoreserver
