// store.h — the score server's storage: accounts with their password hashes,
// every accepted score with all its fields and bests, the text of each table
// as the game fetches it, and the counters several servers must share (failed
// logins per name and address, registrations per address and hour).
//
// Two implementations behind one narrow interface: an SQLite file (one
// machine) and a PostgreSQL database (several servers on several machines).
// Both are safe to call from any thread. Every write is one transaction, so a
// kill at any moment loses at most the request in flight; statements are
// prepared, never built from request text. Schemas are created and upgraded
// by numbered migrations kept in the database itself.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "scores/record.h"

namespace scoreserver {

// Entries a table holds, best first.
constexpr int TableSize = 30;

struct Account {
    int64_t id = 0;
    std::string name;  // as first registered; shown with every score it files
    std::string hash;  // libsodium's password-hash string (algorithm, salt, cost, digest)
};

struct StoreCounts {
    int64_t accounts = 0;
    int64_t scores = 0;
    int64_t tables = 0;
};

// The table a record belongs to: GameMode + 100 × Level + 1000 × GameFlags.
int64_t TableIdOf(const Scores& record);

// An account name as it is compared: Latin-1 letters in lower case, the
// no-break space as a space, soft hyphens dropped, runs of spaces as one.
// "Alice", "alice" and "alice" with a no-break space are one account.
std::string NameKey(const std::string& name);

// A score name with the characters the game's reader takes for markup
// ("<" and ">") replaced by "(" and ")".
std::string WithoutMarkup(const std::string& name);

class Store {
public:
    virtual ~Store() = default;

    // "sqlite FILE, ..." or "postgresql HOST/DB, ...": kind, where, and the
    // size in bytes, for the start-up log line. Never names a password.
    virtual std::string Describe() = 0;
    virtual int64_t SizeBytes() = 0;

    virtual std::optional<Account> FindAccount(const std::string& key) = 0;
    // False when the key is taken (or the write failed).
    virtual bool AddAccount(const std::string& key, const std::string& name,
                            const std::string& hash) = 0;

    enum class Added { Stored, Duplicate, BelowQuota, Failed };
    // Stores the record and rebuilds its table in one transaction, keeping at
    // most `quota` entries of one account in one table (its best ones). The
    // same game sent again (same account, table, stamp and score) is a
    // Duplicate; a game below the account's `quota` best of the table is
    // BelowQuota. Neither changes anything.
    virtual Added AddScore(int64_t accountId, int week, const Scores& record, int quota) = 0;

    // The table's text (two lines per entry), or none when it has no scores.
    virtual std::optional<std::string> TableText(int week, int64_t tableId) = 0;
    // Every stored row of a table, best first (for checks and tools).
    virtual std::vector<Scores> Rows(int week, int64_t tableId) = 0;

    virtual StoreCounts Counts() = 0;

    // Failed logins of one name from one address, counted within `windowMs`
    // of the last one (older ones are forgotten). NoteFailure adds one unless
    // the attempt has the same `digest` as the last one and came within
    // `sameMs` of it (a held button), and returns the count. Times are
    // milliseconds of the wall clock, shared by every server.
    virtual int Failures(const std::string& key, const std::string& address, int64_t nowMs,
                         int64_t windowMs) = 0;
    virtual int NoteFailure(const std::string& key, const std::string& address, int64_t nowMs,
                            int64_t windowMs, const std::string& digest, int64_t sameMs) = 0;
    virtual void ClearFailures(const std::string& key, const std::string& address) = 0;

    // Counts one registration from `address` in hour `hour` and returns how
    // many that address has made in it so far.
    virtual int64_t NoteRegistration(const std::string& address, int64_t hour) = 0;

    // A random key made when the database was created, the same for every
    // server on it (it keys the digests of failed attempts).
    virtual std::string Secret() = 0;
};

// Opens `where` ("postgresql://..." or "postgres://...": PostgreSQL through
// libpq; anything else: an SQLite file, created mode 0600 when missing) and
// brings its schema up to date. At every open, stored score names holding
// markup are cleaned (see WithoutMarkup) and their tables rebuilt; `cleaned`
// tells how many rows that changed. `readOnly` opens an
// existing SQLite file without changing it. None with `error` set on failure.
std::unique_ptr<Store> OpenStore(const std::string& where, std::string& error,
                                 bool readOnly = false, int64_t* cleaned = nullptr);

// What the implementations share (store.cpp).
namespace storedetail {
std::string BestText(const Scores& r);
// The two lines of a table entry for a row.
std::string EntryText(const Scores& r, const std::string& best);
// Reads "b1|...|b30" back into r.Best.
void ReadBest(const std::string& text, Scores& r);
std::string RandomHex(size_t bytes);
std::unique_ptr<Store> OpenSqlite(const std::string& file, std::string& error, bool readOnly,
                                  int64_t* cleaned);
std::unique_ptr<Store> OpenPostgres(const std::string& url, std::string& error,
                                    int64_t* cleaned);
}  // namespace storedetail

}  // namespace scoreserver
