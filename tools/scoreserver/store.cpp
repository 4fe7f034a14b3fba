// store.cpp — the SQLite database behind the score server.
#include "tools/scoreserver/store.h"

#include <sqlite3.h>

#include <ctime>

namespace scoreserver {

namespace {

// Version 1: accounts, scores, tables.
const char* const Schema = R"sql(
CREATE TABLE IF NOT EXISTS accounts (
  id       INTEGER PRIMARY KEY,
  name     TEXT NOT NULL UNIQUE,
  pwhash   TEXT NOT NULL,
  created  INTEGER NOT NULL
);
CREATE TABLE IF NOT EXISTS scores (
  id         INTEGER PRIMARY KEY,
  account_id INTEGER NOT NULL REFERENCES accounts(id),
  week       INTEGER NOT NULL,
  table_id   INTEGER NOT NULL,
  score      INTEGER NOT NULL,
  name       TEXT NOT NULL,
  badges     INTEGER NOT NULL,
  stamp      INTEGER NOT NULL,
  level      INTEGER NOT NULL,
  mode       INTEGER NOT NULL,
  flags      INTEGER NOT NULL,
  quit       INTEGER NOT NULL,
  best       TEXT NOT NULL,
  received   INTEGER NOT NULL,
  UNIQUE (account_id, week, table_id, stamp, score)
);
CREATE INDEX IF NOT EXISTS scores_by_table
  ON scores (week, table_id, score DESC, stamp DESC, id);
CREATE TABLE IF NOT EXISTS tables (
  week     INTEGER NOT NULL,
  table_id INTEGER NOT NULL,
  body     TEXT NOT NULL,
  PRIMARY KEY (week, table_id)
) WITHOUT ROWID;
PRAGMA user_version = 1;
)sql";

// One prepared statement, reset and unbound again when the scope ends.
class Use {
public:
    explicit Use(sqlite3_stmt* s) : s_(s) {}
    ~Use() {
        if (s_) {
            sqlite3_reset(s_);
            sqlite3_clear_bindings(s_);
        }
    }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;
    explicit operator bool() const { return s_ != nullptr; }
    sqlite3_stmt* operator*() const { return s_; }
    void Bind(int i, int64_t v) { sqlite3_bind_int64(s_, i, v); }
    void Bind(int i, const std::string& v) {
        sqlite3_bind_text(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
    int Step() { return sqlite3_step(s_); }
    int64_t Int(int col) { return sqlite3_column_int64(s_, col); }
    std::string Text(int col) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s_, col));
        return p ? std::string(p, static_cast<size_t>(sqlite3_column_bytes(s_, col))) : "";
    }

private:
    sqlite3_stmt* s_;
};

// The "b1|b2|...|b30" half of a record line and back.
std::string BestText(const Scores& r) {
    std::string s;
    for (int i = 1; i <= 30; ++i) {
        if (i > 1) s += "|";
        s += std::to_string(r.Best[i]);
    }
    return s;
}

}  // namespace

int64_t TableIdOf(const Scores& r) {
    return int64_t{r.GameMode} + 100 * int64_t{r.Level} + 1000 * int64_t{r.GameFlags};
}

ScoreStore::~ScoreStore() { Close(); }

bool ScoreStore::Open(const std::string& file, std::string& error, bool readOnly) {
    Close();
    const int flags = readOnly ? SQLITE_OPEN_READONLY
                               : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    if (sqlite3_open_v2(file.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        error = db_ ? sqlite3_errmsg(db_) : "out of memory";
        Close();
        return false;
    }
    sqlite3_busy_timeout(db_, 5000);
    if (!readOnly) {
        // WAL: a commit is one append, readers never block the writer, and a
        // killed process leaves every committed transaction in the file.
        if (!Exec("PRAGMA journal_mode = WAL") || !Exec("PRAGMA synchronous = NORMAL") ||
            !Exec("PRAGMA foreign_keys = ON") || !Exec(Schema)) {
            error = sqlite3_errmsg(db_);
            Close();
            return false;
        }
    } else if (!Exec("SELECT count(*) FROM accounts")) {
        error = sqlite3_errmsg(db_);
        Close();
        return false;
    }
    return true;
}

void ScoreStore::Close() {
    if (!db_) return;
    for (auto& [sql, s] : statements_) sqlite3_finalize(s);
    statements_.clear();
    sqlite3_close(db_);
    db_ = nullptr;
}

sqlite3_stmt* ScoreStore::Prepared(const char* sql) {
    if (!db_) return nullptr;
    auto it = statements_.find(sql);
    if (it != statements_.end()) return it->second;
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr) != SQLITE_OK)
        return nullptr;
    statements_[sql] = s;
    return s;
}

bool ScoreStore::Exec(const char* sql) {
    return db_ && sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::optional<Account> ScoreStore::FindAccount(const std::string& name) {
    Use q(Prepared("SELECT id, pwhash FROM accounts WHERE name = ?1"));
    if (!q) return std::nullopt;
    q.Bind(1, name);
    if (q.Step() != SQLITE_ROW) return std::nullopt;
    return Account{q.Int(0), q.Text(1)};
}

bool ScoreStore::AddAccount(const std::string& name, const std::string& hash) {
    Use q(Prepared("INSERT INTO accounts (name, pwhash, created) VALUES (?1, ?2, ?3)"));
    if (!q) return false;
    q.Bind(1, name);
    q.Bind(2, hash);
    q.Bind(3, static_cast<int64_t>(std::time(nullptr)));
    return q.Step() == SQLITE_DONE;
}

ScoreStore::Added ScoreStore::AddScore(int64_t accountId, int week, const Scores& r) {
    if (!Exec("BEGIN IMMEDIATE")) return Added::Failed;
    const int64_t table = TableIdOf(r);
    int changes = 0;
    {
        Use q(Prepared(
                       "INSERT OR IGNORE INTO scores (account_id, week, table_id, score, name, "
                       "badges, stamp, level, mode, flags, quit, best, received) "
                       "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13)"));
        if (!q) {
            Exec("ROLLBACK");
            return Added::Failed;
        }
        q.Bind(1, accountId);
        q.Bind(2, week);
        q.Bind(3, table);
        q.Bind(4, r.Score);
        q.Bind(5, r.Name);
        q.Bind(6, r.Badges);
        q.Bind(7, r.Timestamp);
        q.Bind(8, r.Level);
        q.Bind(9, r.GameMode);
        q.Bind(10, r.GameFlags);
        q.Bind(11, r.Quit);
        q.Bind(12, BestText(r));
        q.Bind(13, static_cast<int64_t>(std::time(nullptr)));
        if (q.Step() != SQLITE_DONE) {
            Exec("ROLLBACK");
            return Added::Failed;
        }
        changes = sqlite3_changes(db_);
    }
    if (changes == 0) {
        Exec("ROLLBACK");
        return Added::Duplicate;
    }
    if (!RebuildTable(week, table) || !Exec("COMMIT")) {
        Exec("ROLLBACK");
        return Added::Failed;
    }
    return Added::Stored;
}

bool ScoreStore::RebuildTable(int week, int64_t tableId) {
    std::string body;
    {
        // Highest first; among equal scores the more recent game first, as
        // the game's own tables order them.
        Use q(Prepared(
                       "SELECT score, name, badges, stamp, level, mode, flags, quit, best "
                       "FROM scores WHERE week = ?1 AND table_id = ?2 "
                       "ORDER BY score DESC, stamp DESC, id LIMIT ?3"));
        if (!q) return false;
        q.Bind(1, week);
        q.Bind(2, tableId);
        q.Bind(3, TableSize);
        int rc;
        while ((rc = q.Step()) == SQLITE_ROW) {
            Scores r;
            r.Score = q.Int(0);
            r.Name = q.Text(1);
            r.Badges = static_cast<int>(q.Int(2));
            r.Timestamp = q.Int(3);
            r.Level = static_cast<int>(q.Int(4));
            r.GameMode = static_cast<int>(q.Int(5));
            r.GameFlags = static_cast<int>(q.Int(6));
            r.Quit = static_cast<int>(q.Int(7));
            // The file's record line, with its separator turned into the line
            // break between an entry's two lines.
            const std::string best = q.Text(8);
            std::string line = RecordText(r);
            line = line.substr(0, line.find(RecordSeparator));
            body += line + "\n" + best + "\n";
        }
        if (rc != SQLITE_DONE) return false;
    }
    Use q(Prepared("INSERT OR REPLACE INTO tables (week, table_id, body) VALUES (?1, ?2, ?3)"));
    if (!q) return false;
    q.Bind(1, week);
    q.Bind(2, tableId);
    q.Bind(3, body);
    return q.Step() == SQLITE_DONE;
}

std::optional<std::string> ScoreStore::TableText(int week, int64_t tableId) {
    Use q(Prepared("SELECT body FROM tables WHERE week = ?1 AND table_id = ?2"));
    if (!q) return std::nullopt;
    q.Bind(1, week);
    q.Bind(2, tableId);
    if (q.Step() != SQLITE_ROW) return std::nullopt;
    return q.Text(0);
}

StoreCounts ScoreStore::Counts() {
    StoreCounts c;
    Use q(Prepared(
                   "SELECT (SELECT count(*) FROM accounts), (SELECT count(*) FROM scores), "
                   "(SELECT count(*) FROM tables)"));
    if (q && q.Step() == SQLITE_ROW) {
        c.accounts = q.Int(0);
        c.scores = q.Int(1);
        c.tables = q.Int(2);
    }
    return c;
}

}  // namespace scoreserver
