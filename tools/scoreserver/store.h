// store.h — the score server's SQLite database: accounts with their password
// hashes, every accepted score with all its fields and bests, and the text of
// each table as the game fetches it.
//
// One connection, used by one thread at a time (the caller serialises). Every
// write is one transaction, so a kill at any moment loses at most the request
// in flight; statements are prepared, never built from request text.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "scores/scores.h"

struct sqlite3;
struct sqlite3_stmt;

namespace scoreserver {

// Entries a table holds, best first.
constexpr int TableSize = 30;

struct Account {
    int64_t id = 0;
    std::string hash;  // libsodium's password-hash string (algorithm, salt, cost, digest)
};

struct StoreCounts {
    int64_t accounts = 0;
    int64_t scores = 0;
    int64_t tables = 0;
};

// The table a record belongs to: GameMode + 100 × Level + 1000 × GameFlags.
int64_t TableIdOf(const Scores& record);

class ScoreStore {
public:
    ScoreStore() = default;
    ~ScoreStore();
    ScoreStore(const ScoreStore&) = delete;
    ScoreStore& operator=(const ScoreStore&) = delete;

    // Opens or creates the database and its schema. False with `error` set
    // when the file cannot be used. `readOnly` opens an existing file without
    // changing it (for looking at a running server's data).
    bool Open(const std::string& file, std::string& error, bool readOnly = false);
    void Close();

    std::optional<Account> FindAccount(const std::string& name);
    // False when the name is taken (or the write failed).
    bool AddAccount(const std::string& name, const std::string& hash);

    enum class Added { Stored, Duplicate, Failed };
    // Stores the record and rebuilds its table in one transaction. The same
    // game sent again by the same account (same table, stamp and score) is a
    // Duplicate and changes nothing.
    Added AddScore(int64_t accountId, int week, const Scores& record);

    // The table's text (two lines per entry), or none when it has no scores.
    std::optional<std::string> TableText(int week, int64_t tableId);

    StoreCounts Counts();

private:
    bool Exec(const char* sql);
    // Prepared once per connection and kept, keyed by the text's address
    // (every caller passes a string literal).
    sqlite3_stmt* Prepared(const char* sql);
    bool RebuildTable(int week, int64_t tableId);

    sqlite3* db_ = nullptr;
    std::map<const char*, sqlite3_stmt*> statements_;
};

}  // namespace scoreserver
