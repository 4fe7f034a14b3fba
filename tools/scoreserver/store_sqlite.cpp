// store_sqlite.cpp — the store in one SQLite file, for a server on one machine.
//
// Two connections: one for writes, taken by one thread at a time (SQLite has
// one writer per file anyway), and one for reads, so table fetches never wait
// behind a write (WAL: readers see the last commit while a writer works).
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <ctime>
#include <filesystem>
#include <map>
#include <mutex>

#include "tools/scoreserver/store.h"

namespace scoreserver::storedetail {

namespace {

// Version 1: accounts, scores, tables.
const char* const Migration1 = R"sql(
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
)sql";

// Version 2: names compared by key, the shared counters, the database's own
// secret, and an index for the per-account quota. (The keys of existing
// accounts are filled in by the program between the two halves.)
const char* const Migration2 = R"sql(
ALTER TABLE accounts ADD COLUMN name_key TEXT;
CREATE TABLE login_failures (
  name_key TEXT NOT NULL,
  address  TEXT NOT NULL,
  failures INTEGER NOT NULL,
  last_ms  INTEGER NOT NULL,
  digest   TEXT NOT NULL,
  PRIMARY KEY (name_key, address)
) WITHOUT ROWID;
CREATE TABLE registrations (
  address TEXT NOT NULL,
  hour    INTEGER NOT NULL,
  count   INTEGER NOT NULL,
  PRIMARY KEY (address, hour)
) WITHOUT ROWID;
CREATE TABLE meta (key TEXT PRIMARY KEY, value TEXT NOT NULL) WITHOUT ROWID;
CREATE INDEX scores_by_account ON scores (account_id, week, table_id, score DESC, stamp DESC);
)sql";
const char* const Migration2End = "CREATE UNIQUE INDEX accounts_by_key ON accounts (name_key)";

constexpr int SchemaVersion = 2;

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
    void Bind(int i, int64_t v) { sqlite3_bind_int64(s_, i, v); }
    void Bind(int i, const std::string& v) {
        sqlite3_bind_text(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
    // Binds ?1, ?2, ... in order.
    template <typename... T>
    void BindAll(const T&... v) {
        int i = 0;
        (Bind(++i, v), ...);
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

// One connection with its prepared statements, used under its mutex.
struct Connection {
    sqlite3* db = nullptr;
    std::map<const char*, sqlite3_stmt*> statements;  // keyed by the literal's address
    std::mutex mutex;

    ~Connection() {
        for (auto& [sql, s] : statements) sqlite3_finalize(s);
        if (db) sqlite3_close(db);
    }
    sqlite3_stmt* Prepared(const char* sql) {
        auto it = statements.find(sql);
        if (it != statements.end()) return it->second;
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr) != SQLITE_OK)
            return nullptr;
        statements[sql] = s;
        return s;
    }
    bool Exec(const char* sql) {
        return db && sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    std::string Error() const { return db ? sqlite3_errmsg(db) : "out of memory"; }
};

const char* const RowsSql =
    "SELECT score, name, badges, stamp, level, mode, flags, quit, best "
    "FROM scores WHERE week = ?1 AND table_id = ?2 ORDER BY score DESC, stamp DESC, id "
    "LIMIT ?3";

class SqliteStore final : public Store {
public:
    explicit SqliteStore(std::string file) : file_(std::move(file)) {}

    bool Open(std::string& error, bool readOnly, int64_t* cleaned) {
        if (!readOnly) {
            // Password hashes live here: readable by the server's user only,
            // also for a file an older version made. SQLite gives its -wal
            // and -shm files the database file's mode.
            const int fd = ::open(file_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
            if (fd >= 0) ::close(fd);
            for (const char* suffix : {"", "-wal", "-shm"})
                ::chmod((file_ + suffix).c_str(), 0600);
        }
        for (Connection* c : {&write_, &read_}) {
            const int flags = readOnly || c == &read_
                                  ? SQLITE_OPEN_READONLY
                                  : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
            if (sqlite3_open_v2(file_.c_str(), &c->db, flags | SQLITE_OPEN_NOMUTEX, nullptr) !=
                SQLITE_OK) {
                error = c->Error();
                return false;
            }
            sqlite3_busy_timeout(c->db, 5000);
            if (readOnly || c == &read_) continue;
            // WAL: a commit is one append, readers never block the writer, and
            // a killed process leaves every committed transaction in the file.
            if (!c->Exec("PRAGMA journal_mode = WAL") || !c->Exec("PRAGMA synchronous = NORMAL") ||
                !c->Exec("PRAGMA foreign_keys = ON") || !Migrate(error) ||
                !CleanMarkup(error, cleaned))
                return error.empty() ? (error = c->Error(), false) : false;
        }
        if (!read_.Exec("SELECT count(*) FROM accounts")) {
            error = read_.Error();
            return false;
        }
        return true;
    }

    std::string Describe() override { return "sqlite " + file_; }

    int64_t SizeBytes() override {
        uintmax_t bytes = 0;
        for (const char* suffix : {"", "-wal"}) {
            std::error_code ec;
            const auto size = std::filesystem::file_size(file_ + suffix, ec);
            if (!ec) bytes += size;
        }
        return static_cast<int64_t>(bytes);
    }

    std::optional<Account> FindAccount(const std::string& key) override {
        std::lock_guard<std::mutex> lock(read_.mutex);
        Use q(read_.Prepared("SELECT id, name, pwhash FROM accounts WHERE name_key = ?1"));
        if (!q) return std::nullopt;
        q.Bind(1, key);
        if (q.Step() != SQLITE_ROW) return std::nullopt;
        return Account{q.Int(0), q.Text(1), q.Text(2)};
    }

    bool AddAccount(const std::string& key, const std::string& name,
                    const std::string& hash) override {
        std::lock_guard<std::mutex> lock(write_.mutex);
        Use q(write_.Prepared(
            "INSERT INTO accounts (name, name_key, pwhash, created) VALUES (?1, ?2, ?3, ?4)"));
        if (!q) return false;
        q.BindAll(name, key, hash, static_cast<int64_t>(std::time(nullptr)));
        return q.Step() == SQLITE_DONE;
    }

    Added AddScore(int64_t accountId, int week, const Scores& r, int quota) override {
        std::lock_guard<std::mutex> lock(write_.mutex);
        if (!write_.Exec("BEGIN IMMEDIATE")) return Added::Failed;
        const Added added = AddScoreLocked(accountId, week, r, quota);
        if (added != Added::Stored || !write_.Exec("COMMIT")) {
            write_.Exec("ROLLBACK");
            return added == Added::Stored ? Added::Failed : added;
        }
        return added;
    }

    std::optional<std::string> TableText(int week, int64_t tableId) override {
        std::lock_guard<std::mutex> lock(read_.mutex);
        Use q(read_.Prepared("SELECT body FROM tables WHERE week = ?1 AND table_id = ?2"));
        if (!q) return std::nullopt;
        q.BindAll(week, tableId);
        if (q.Step() != SQLITE_ROW) return std::nullopt;
        return q.Text(0);
    }

    std::vector<Scores> Rows(int week, int64_t tableId) override {
        std::lock_guard<std::mutex> lock(read_.mutex);
        std::vector<Scores> rows;
        ReadRows(read_, week, tableId, -1, rows);
        return rows;
    }

    StoreCounts Counts() override {
        std::lock_guard<std::mutex> lock(read_.mutex);
        StoreCounts c;
        Use q(read_.Prepared(
            "SELECT (SELECT count(*) FROM accounts), (SELECT count(*) FROM scores), "
            "(SELECT count(*) FROM tables)"));
        if (q && q.Step() == SQLITE_ROW) {
            c.accounts = q.Int(0);
            c.scores = q.Int(1);
            c.tables = q.Int(2);
        }
        return c;
    }

    int Failures(const std::string& key, const std::string& address, int64_t nowMs,
                 int64_t windowMs) override {
        std::lock_guard<std::mutex> lock(read_.mutex);
        Use q(read_.Prepared("SELECT failures FROM login_failures WHERE name_key = ?1 AND "
                             "address = ?2 AND ?3 - last_ms < ?4"));
        if (!q) return 0;
        q.BindAll(key, address, nowMs, windowMs);
        return q.Step() == SQLITE_ROW ? static_cast<int>(q.Int(0)) : 0;
    }

    int NoteFailure(const std::string& key, const std::string& address, int64_t nowMs,
                    int64_t windowMs, const std::string& digest, int64_t sameMs) override {
        std::lock_guard<std::mutex> lock(write_.mutex);
        if (++writes_ % 256 == 0) {
            Use old(write_.Prepared("DELETE FROM login_failures WHERE last_ms < ?1"));
            if (old) {
                old.Bind(1, nowMs - windowMs);
                old.Step();
            }
        }
        Use q(write_.Prepared(
            "INSERT INTO login_failures (name_key, address, failures, last_ms, digest) "
            "VALUES (?1, ?2, 1, ?3, ?4) ON CONFLICT (name_key, address) DO UPDATE SET "
            "failures = CASE WHEN ?3 - login_failures.last_ms >= ?5 THEN 1 "
            "WHEN login_failures.digest = ?4 AND ?3 - login_failures.last_ms < ?6 "
            "THEN login_failures.failures ELSE login_failures.failures + 1 END, "
            "last_ms = ?3, digest = ?4 RETURNING failures"));
        if (!q) return 0;
        q.BindAll(key, address, nowMs, digest, windowMs, sameMs);
        return q.Step() == SQLITE_ROW ? static_cast<int>(q.Int(0)) : 0;
    }

    void ClearFailures(const std::string& key, const std::string& address) override {
        std::lock_guard<std::mutex> lock(write_.mutex);
        Use q(write_.Prepared("DELETE FROM login_failures WHERE name_key = ?1 AND address = ?2"));
        if (!q) return;
        q.BindAll(key, address);
        q.Step();
    }

    int64_t NoteRegistration(const std::string& address, int64_t hour) override {
        std::lock_guard<std::mutex> lock(write_.mutex);
        if (++writes_ % 256 == 0) {
            Use old(write_.Prepared("DELETE FROM registrations WHERE hour < ?1"));
            if (old) {
                old.Bind(1, hour - 1);
                old.Step();
            }
        }
        Use q(write_.Prepared(
            "INSERT INTO registrations (address, hour, count) VALUES (?1, ?2, 1) "
            "ON CONFLICT (address, hour) DO UPDATE SET count = registrations.count + 1 "
            "RETURNING count"));
        if (!q) return 0;
        q.BindAll(address, hour);
        return q.Step() == SQLITE_ROW ? q.Int(0) : 0;
    }

    std::string Secret() override { return secret_; }

private:
    bool Migrate(std::string& error) {
        int version = 0;
        {
            Use q(write_.Prepared("PRAGMA user_version"));
            if (q && q.Step() == SQLITE_ROW) version = static_cast<int>(q.Int(0));
        }
        while (version < SchemaVersion) {
            const int next = version + 1;
            if (!write_.Exec("BEGIN IMMEDIATE")) return false;
            bool ok = next == 1 ? write_.Exec(Migration1) : MigrateTo2();
            const std::string bump = "PRAGMA user_version = " + std::to_string(next);
            if (!ok || !write_.Exec(bump.c_str()) || !write_.Exec("COMMIT")) {
                error = "migration " + std::to_string(next) + ": " + write_.Error();
                write_.Exec("ROLLBACK");
                return false;
            }
            version = next;
        }
        Use q(write_.Prepared("SELECT value FROM meta WHERE key = 'secret'"));
        if (q && q.Step() == SQLITE_ROW) secret_ = q.Text(0);
        if (secret_.empty()) error = "no secret in the database";
        return !secret_.empty();
    }

    bool MigrateTo2() {
        if (!write_.Exec(Migration2)) return false;
        // Existing accounts get their keys; of names that fold together the
        // oldest keeps it, the later ones get a key no login can produce ("#"
        // never reaches the server), so their owners must pick a new name.
        std::vector<std::pair<int64_t, std::string>> accounts;
        {
            Use q(write_.Prepared("SELECT id, name FROM accounts ORDER BY id"));
            while (q && q.Step() == SQLITE_ROW) accounts.emplace_back(q.Int(0), q.Text(1));
        }
        std::map<std::string, int64_t> taken;
        for (const auto& [id, name] : accounts) {
            std::string key = NameKey(name);
            if (!taken.emplace(key, id).second) key += "#" + std::to_string(id);
            Use u(write_.Prepared("UPDATE accounts SET name_key = ?1 WHERE id = ?2"));
            if (!u) return false;
            u.BindAll(key, id);
            if (u.Step() != SQLITE_DONE) return false;
        }
        Use s(write_.Prepared("INSERT INTO meta (key, value) VALUES ('secret', ?1)"));
        if (!s) return false;
        s.Bind(1, RandomHex(32));
        return s.Step() == SQLITE_DONE && write_.Exec(Migration2End);
    }

    bool CleanMarkup(std::string& error, int64_t* cleaned) {
        if (!write_.Exec("BEGIN IMMEDIATE")) return false;
        std::vector<std::pair<int64_t, int64_t>> tables;
        {
            Use q(write_.Prepared("SELECT DISTINCT week, table_id FROM scores "
                                  "WHERE instr(name, '<') OR instr(name, '>')"));
            while (q && q.Step() == SQLITE_ROW) tables.emplace_back(q.Int(0), q.Int(1));
        }
        bool ok = write_.Exec(
            "UPDATE scores SET name = replace(replace(name, '<', '('), '>', ')') "
            "WHERE instr(name, '<') OR instr(name, '>')");
        const int64_t changed = sqlite3_changes(write_.db);
        for (const auto& [week, table] : tables) ok = ok && RebuildTable(static_cast<int>(week), table);
        if (!ok || !write_.Exec("COMMIT")) {
            error = "cleaning names: " + write_.Error();
            write_.Exec("ROLLBACK");
            return false;
        }
        if (cleaned) *cleaned = changed;
        return true;
    }

    Added AddScoreLocked(int64_t accountId, int week, const Scores& r, int quota) {
        const int64_t table = TableIdOf(r);
        {
            // The same game again, or one the account's kept best all beat.
            Use q(write_.Prepared(
                "SELECT count(*) FILTER (WHERE stamp = ?4 AND score = ?5), "
                "count(*) FILTER (WHERE score > ?5 OR (score = ?5 AND stamp > ?4)) "
                "FROM scores WHERE account_id = ?1 AND week = ?2 AND table_id = ?3"));
            if (!q) return Added::Failed;
            q.BindAll(accountId, week, table, r.Timestamp, r.Score);
            if (q.Step() != SQLITE_ROW) return Added::Failed;
            if (q.Int(0) > 0) return Added::Duplicate;
            if (q.Int(1) >= quota) return Added::BelowQuota;
        }
        {
            Use q(write_.Prepared(
                "INSERT INTO scores (account_id, week, table_id, score, name, "
                "badges, stamp, level, mode, flags, quit, best, received) "
                "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13)"));
            if (!q) return Added::Failed;
            q.BindAll(accountId, week, table, r.Score, r.Name, r.Badges, r.Timestamp, r.Level,
                      r.GameMode, r.GameFlags, r.Quit, BestText(r),
                      static_cast<int64_t>(std::time(nullptr)));
            if (q.Step() != SQLITE_DONE) return Added::Failed;
        }
        {
            Use q(write_.Prepared(
                "DELETE FROM scores WHERE id IN (SELECT id FROM scores WHERE account_id = ?1 "
                "AND week = ?2 AND table_id = ?3 ORDER BY score DESC, stamp DESC, id "
                "LIMIT -1 OFFSET ?4)"));
            if (!q) return Added::Failed;
            q.BindAll(accountId, week, table, quota);
            if (q.Step() != SQLITE_DONE) return Added::Failed;
        }
        return RebuildTable(week, table) ? Added::Stored : Added::Failed;
    }

    static bool ReadRows(Connection& c, int week, int64_t tableId, int64_t limit,
                         std::vector<Scores>& rows) {
        Use q(c.Prepared(RowsSql));
        if (!q) return false;
        q.BindAll(week, tableId, limit);
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
            ReadBest(q.Text(8), r);
            rows.push_back(std::move(r));
        }
        return rc == SQLITE_DONE;
    }

    // Highest first; among equal scores the more recent game first, as the
    // game's own tables order them.
    bool RebuildTable(int week, int64_t tableId) {
        std::vector<Scores> rows;
        if (!ReadRows(write_, week, tableId, TableSize, rows)) return false;
        std::string body;
        for (const auto& r : rows) body += EntryText(r, BestText(r));
        Use q(write_.Prepared(
            "INSERT OR REPLACE INTO tables (week, table_id, body) VALUES (?1, ?2, ?3)"));
        if (!q) return false;
        q.BindAll(week, tableId, body);
        return q.Step() == SQLITE_DONE;
    }

    std::string file_;
    Connection write_, read_;
    std::string secret_;
    std::atomic<uint64_t> writes_{0};
};

}  // namespace

std::unique_ptr<Store> OpenSqlite(const std::string& file, std::string& error, bool readOnly,
                                  int64_t* cleaned) {
    auto store = std::make_unique<SqliteStore>(file);
    if (!store->Open(error, readOnly, cleaned)) return nullptr;
    return store;
}

}  // namespace scoreserver::storedetail
