// store_postgres.cpp — the store in a PostgreSQL database, for several score
// servers (on several machines) sharing one set of accounts and tables.
//
// Each server keeps a small pool of connections, one per thread that may
// call at once. Filing a score locks its table's row (SELECT ... FOR UPDATE)
// for the length of one short transaction: the writers of one table queue on
// that lock and each rebuilds the table text from rows that include every
// earlier writer's commit (READ COMMITTED reads afresh at each statement),
// while writers of other tables go on in parallel. Serialisable transactions
// would reach the same result on a popular table only through a retry for
// nearly every pair of writers that overlap; the lock makes them wait instead.
//
// Text goes over the wire as Latin-1, the game's own encoding; the server
// converts it to the database's.
#include <libpq-fe.h>

#include <atomic>
#include <climits>
#include <condition_variable>
#include <ctime>
#include <map>
#include <mutex>
#include <vector>

#include "tools/scoreserver/store.h"

namespace scoreserver::storedetail {

namespace {

// Every migration, in order; the version a database has reached is kept in
// schema_version. Version 2 also fills the keys of existing accounts and
// makes the database's secret (in the program, between its two halves).
const char* const Migration1 = R"sql(
CREATE TABLE accounts (
  id       BIGSERIAL PRIMARY KEY,
  name     TEXT NOT NULL UNIQUE,
  pwhash   TEXT NOT NULL,
  created  BIGINT NOT NULL
);
CREATE TABLE scores (
  id         BIGSERIAL PRIMARY KEY,
  account_id BIGINT NOT NULL REFERENCES accounts(id),
  week       INTEGER NOT NULL,
  table_id   BIGINT NOT NULL,
  score      BIGINT NOT NULL,
  name       TEXT NOT NULL,
  badges     INTEGER NOT NULL,
  stamp      BIGINT NOT NULL,
  level      INTEGER NOT NULL,
  mode       INTEGER NOT NULL,
  flags      INTEGER NOT NULL,
  quit       INTEGER NOT NULL,
  best       TEXT NOT NULL,
  received   BIGINT NOT NULL,
  UNIQUE (account_id, week, table_id, stamp, score)
);
CREATE INDEX scores_by_table ON scores (week, table_id, score DESC, stamp DESC, id);
CREATE TABLE tables (
  week     INTEGER NOT NULL,
  table_id BIGINT NOT NULL,
  body     TEXT NOT NULL,
  PRIMARY KEY (week, table_id)
);
)sql";

const char* const Migration2 = R"sql(
ALTER TABLE accounts ADD COLUMN name_key TEXT;
CREATE TABLE login_failures (
  name_key TEXT NOT NULL,
  address  TEXT NOT NULL,
  failures INTEGER NOT NULL,
  last_ms  BIGINT NOT NULL,
  digest   TEXT NOT NULL,
  PRIMARY KEY (name_key, address)
);
CREATE TABLE registrations (
  address TEXT NOT NULL,
  hour    BIGINT NOT NULL,
  count   BIGINT NOT NULL,
  PRIMARY KEY (address, hour)
);
CREATE TABLE meta (key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE INDEX scores_by_account ON scores (account_id, week, table_id, score DESC, stamp DESC);
)sql";
const char* const Migration2End = "CREATE UNIQUE INDEX accounts_by_key ON accounts (name_key)";

constexpr int SchemaVersion = 2;
// Taken while migrating, so servers starting together migrate once.
constexpr const char* MigrationLock = "SELECT pg_advisory_lock(28319019)";
constexpr const char* MigrationUnlock = "SELECT pg_advisory_unlock(28319019)";

const char* const RowsSql =
    "SELECT score, name, badges, stamp, level, mode, flags, quit, best FROM scores "
    "WHERE week = $1::integer AND table_id = $2::bigint "
    "ORDER BY score DESC, stamp DESC, id LIMIT $3::bigint";

struct ResultFree {
    void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultFree>;

bool Ok(const Result& r) {
    const auto s = r ? PQresultStatus(r.get()) : PGRES_FATAL_ERROR;
    return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
}
bool HasRow(const Result& r) { return Ok(r) && PQntuples(r.get()) > 0; }
std::string Text(const Result& r, int row, int col) {
    return std::string(PQgetvalue(r.get(), row, col),
                       static_cast<size_t>(PQgetlength(r.get(), row, col)));
}
int64_t Int(const Result& r, int row, int col) { return std::atoll(PQgetvalue(r.get(), row, col)); }

// One connection of the pool.
struct Connection {
    PGconn* conn = nullptr;
    ~Connection() {
        if (conn) PQfinish(conn);
    }
    // Text parameters; types come from the statement (casts where needed).
    Result Exec(const char* sql, const std::vector<std::string>& params = {}) {
        std::vector<const char*> values;
        for (const auto& p : params) values.push_back(p.c_str());
        Result r(PQexecParams(conn, sql, static_cast<int>(values.size()), nullptr,
                              values.data(), nullptr, nullptr, 0));
        // A dropped connection is made again for the next call; this one fails.
        if (PQstatus(conn) == CONNECTION_BAD) {
            PQreset(conn);
            if (PQstatus(conn) == CONNECTION_OK) PQsetClientEncoding(conn, "LATIN1");
        }
        return r;
    }
    // Parameterless statements, several at once allowed (migrations).
    bool Run(const char* sql) { return Ok(Result(PQexec(conn, sql))); }
    std::string Error() const { return conn ? PQerrorMessage(conn) : "out of memory"; }
};

std::string N(int64_t v) { return std::to_string(v); }

class PostgresStore final : public Store {
public:
    explicit PostgresStore(std::string url) : url_(std::move(url)) {}

    bool Open(std::string& error, int64_t* cleaned) {
        for (int i = 0; i < PoolSize; ++i) {
            auto c = std::make_unique<Connection>();
            c->conn = PQconnectdb(url_.c_str());
            if (PQstatus(c->conn) != CONNECTION_OK || PQsetClientEncoding(c->conn, "LATIN1") != 0) {
                error = c->Error();
                while (!error.empty() && error.back() == '\n') error.pop_back();
                return false;
            }
            // Notices (such as "relation already exists") are not for the log.
            PQsetNoticeProcessor(c->conn, [](void*, const char*) {}, nullptr);
            free_.push_back(c.get());
            pool_.push_back(std::move(c));
        }
        Connection& c = *pool_.front();
        where_ = std::string(PQhost(c.conn)) + ":" + PQport(c.conn) + "/" + PQdb(c.conn);
        if (!c.Run(MigrationLock)) {
            error = c.Error();
            return false;
        }
        const bool ok = Migrate(c, error) && CleanMarkup(c, error, cleaned);
        c.Run(MigrationUnlock);
        return ok;
    }

    std::string Describe() override { return "postgresql " + where_; }

    int64_t SizeBytes() override {
        Lease c(*this);
        const Result r = c->Exec("SELECT pg_database_size(current_database())");
        return HasRow(r) ? Int(r, 0, 0) : -1;
    }

    std::optional<Account> FindAccount(const std::string& key) override {
        Lease c(*this);
        const Result r = c->Exec("SELECT id, name, pwhash FROM accounts WHERE name_key = $1",
                                 {key});
        if (!HasRow(r)) return std::nullopt;
        return Account{Int(r, 0, 0), Text(r, 0, 1), Text(r, 0, 2)};
    }

    bool AddAccount(const std::string& key, const std::string& name,
                    const std::string& hash) override {
        Lease c(*this);
        const Result r = c->Exec(
            "INSERT INTO accounts (name, name_key, pwhash, created) "
            "VALUES ($1, $2, $3, $4::bigint) ON CONFLICT DO NOTHING",
            {name, key, hash, N(std::time(nullptr))});
        return Ok(r) && std::string(PQcmdTuples(r.get())) == "1";
    }

    Added AddScore(int64_t accountId, int week, const Scores& r, int quota) override {
        Lease c(*this);
        if (!c->Run("BEGIN")) return Added::Failed;
        const Added added = AddScoreLocked(*c, accountId, week, r, quota);
        if (added != Added::Stored || !c->Run("COMMIT")) {
            c->Run("ROLLBACK");
            return added == Added::Stored ? Added::Failed : added;
        }
        return added;
    }

    std::optional<std::string> TableText(int week, int64_t tableId) override {
        Lease c(*this);
        const Result r = c->Exec(
            "SELECT body FROM tables WHERE week = $1::integer AND table_id = $2::bigint "
            "AND body <> ''",
            {N(week), N(tableId)});
        if (!HasRow(r)) return std::nullopt;
        return Text(r, 0, 0);
    }

    std::vector<Scores> Rows(int week, int64_t tableId) override {
        Lease c(*this);
        std::vector<Scores> rows;
        ReadRows(*c, week, tableId, INT64_MAX, rows);
        return rows;
    }

    StoreCounts Counts() override {
        Lease c(*this);
        const Result r = c->Exec(
            "SELECT (SELECT count(*) FROM accounts), (SELECT count(*) FROM scores), "
            "(SELECT count(*) FROM tables WHERE body <> '')");
        if (!HasRow(r)) return {};
        return {Int(r, 0, 0), Int(r, 0, 1), Int(r, 0, 2)};
    }

    int Failures(const std::string& key, const std::string& address, int64_t nowMs,
                 int64_t windowMs) override {
        Lease c(*this);
        const Result r = c->Exec(
            "SELECT failures FROM login_failures WHERE name_key = $1 AND address = $2 "
            "AND $3::bigint - last_ms < $4::bigint",
            {key, address, N(nowMs), N(windowMs)});
        return HasRow(r) ? static_cast<int>(Int(r, 0, 0)) : 0;
    }

    int NoteFailure(const std::string& key, const std::string& address, int64_t nowMs,
                    int64_t windowMs, const std::string& digest, int64_t sameMs) override {
        Lease c(*this);
        if (++writes_ % 256 == 0)
            c->Exec("DELETE FROM login_failures WHERE last_ms < $1::bigint", {N(nowMs - windowMs)});
        // One statement: two servers noting failures of one name at once
        // both count.
        const Result r = c->Exec(
            "INSERT INTO login_failures AS f (name_key, address, failures, last_ms, digest) "
            "VALUES ($1, $2, 1, $3::bigint, $4) ON CONFLICT (name_key, address) DO UPDATE SET "
            "failures = CASE WHEN $3::bigint - f.last_ms >= $5::bigint THEN 1 "
            "WHEN f.digest = $4 AND $3::bigint - f.last_ms < $6::bigint THEN f.failures "
            "ELSE f.failures + 1 END, last_ms = $3::bigint, digest = $4 RETURNING failures",
            {key, address, N(nowMs), digest, N(windowMs), N(sameMs)});
        return HasRow(r) ? static_cast<int>(Int(r, 0, 0)) : 0;
    }

    void ClearFailures(const std::string& key, const std::string& address) override {
        Lease c(*this);
        c->Exec("DELETE FROM login_failures WHERE name_key = $1 AND address = $2", {key, address});
    }

    int64_t NoteRegistration(const std::string& address, int64_t hour) override {
        Lease c(*this);
        if (++writes_ % 256 == 0)
            c->Exec("DELETE FROM registrations WHERE hour < $1::bigint", {N(hour - 1)});
        const Result r = c->Exec(
            "INSERT INTO registrations AS g (address, hour, count) VALUES ($1, $2::bigint, 1) "
            "ON CONFLICT (address, hour) DO UPDATE SET count = g.count + 1 RETURNING count",
            {address, N(hour)});
        return HasRow(r) ? Int(r, 0, 0) : 0;
    }

    std::string Secret() override { return secret_; }

private:
    // One connection for the length of a call; waits while all are in use.
    class Lease {
    public:
        explicit Lease(PostgresStore& s) : s_(s) {
            std::unique_lock<std::mutex> lock(s_.mutex_);
            s_.available_.wait(lock, [&] { return !s_.free_.empty(); });
            c_ = s_.free_.back();
            s_.free_.pop_back();
        }
        ~Lease() {
            {
                std::lock_guard<std::mutex> lock(s_.mutex_);
                s_.free_.push_back(c_);
            }
            s_.available_.notify_one();
        }
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        Connection* operator->() const { return c_; }
        Connection& operator*() const { return *c_; }

    private:
        PostgresStore& s_;
        Connection* c_;
    };

    bool Migrate(Connection& c, std::string& error) {
        if (!c.Run("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)")) {
            error = c.Error();
            return false;
        }
        int version = 0;
        {
            const Result r = c.Exec("SELECT max(version) FROM schema_version");
            if (HasRow(r) && !PQgetisnull(r.get(), 0, 0)) version = static_cast<int>(Int(r, 0, 0));
        }
        while (version < SchemaVersion) {
            const int next = version + 1;
            bool ok = c.Run("BEGIN") && (next == 1 ? c.Run(Migration1) : MigrateTo2(c)) &&
                      Ok(c.Exec("INSERT INTO schema_version (version) VALUES ($1::integer)",
                                {N(next)})) &&
                      c.Run("COMMIT");
            if (!ok) {
                error = "migration " + N(next) + ": " + c.Error();
                c.Run("ROLLBACK");
                return false;
            }
            version = next;
        }
        const Result r = c.Exec("SELECT value FROM meta WHERE key = 'secret'");
        if (HasRow(r)) secret_ = Text(r, 0, 0);
        if (secret_.empty()) error = "no secret in the database";
        return !secret_.empty();
    }

    bool MigrateTo2(Connection& c) {
        if (!c.Run(Migration2)) return false;
        // As in the SQLite store: of names that fold together the oldest keeps
        // the key, later ones get one no login can produce.
        const Result r = c.Exec("SELECT id, name FROM accounts ORDER BY id");
        if (!Ok(r)) return false;
        std::map<std::string, int64_t> taken;
        for (int i = 0; i < PQntuples(r.get()); ++i) {
            const int64_t id = Int(r, i, 0);
            std::string key = NameKey(Text(r, i, 1));
            if (!taken.emplace(key, id).second) key += "#" + N(id);
            if (!Ok(c.Exec("UPDATE accounts SET name_key = $1 WHERE id = $2::bigint", {key, N(id)})))
                return false;
        }
        return Ok(c.Exec("INSERT INTO meta (key, value) VALUES ('secret', $1)", {RandomHex(32)})) &&
               c.Run(Migration2End);
    }

    bool CleanMarkup(Connection& c, std::string& error, int64_t* cleaned) {
        const char* const where = " WHERE strpos(name, '<') > 0 OR strpos(name, '>') > 0";
        bool ok = c.Run("BEGIN");
        const Result tables =
            c.Exec((std::string("SELECT DISTINCT week, table_id FROM scores") + where).c_str());
        const Result update = c.Exec(
            (std::string("UPDATE scores SET name = replace(replace(name, '<', '('), '>', ')')") +
             where)
                .c_str());
        ok = ok && Ok(tables) && Ok(update);
        for (int i = 0; ok && i < PQntuples(tables.get()); ++i)
            ok = RebuildTable(c, static_cast<int>(Int(tables, i, 0)), Int(tables, i, 1));
        if (!ok || !c.Run("COMMIT")) {
            error = "cleaning names: " + c.Error();
            c.Run("ROLLBACK");
            return false;
        }
        if (cleaned) *cleaned = std::atoll(PQcmdTuples(update.get()));
        return true;
    }

    Added AddScoreLocked(Connection& c, int64_t accountId, int week, const Scores& r, int quota) {
        const std::string account = N(accountId), w = N(week), table = N(TableIdOf(r));
        // The table's row is the lock every writer of this table takes.
        if (!Ok(c.Exec("INSERT INTO tables (week, table_id, body) VALUES ($1::integer, "
                       "$2::bigint, '') ON CONFLICT DO NOTHING",
                       {w, table})) ||
            !HasRow(c.Exec("SELECT 1 FROM tables WHERE week = $1::integer AND "
                           "table_id = $2::bigint FOR UPDATE",
                           {w, table})))
            return Added::Failed;
        {
            const Result q = c.Exec(
                "SELECT count(*) FILTER (WHERE stamp = $4::bigint AND score = $5::bigint), "
                "count(*) FILTER (WHERE score > $5::bigint OR (score = $5::bigint AND "
                "stamp > $4::bigint)) FROM scores WHERE account_id = $1::bigint AND "
                "week = $2::integer AND table_id = $3::bigint",
                {account, w, table, N(r.Timestamp), N(r.Score)});
            if (!HasRow(q)) return Added::Failed;
            if (Int(q, 0, 0) > 0) return Added::Duplicate;
            if (Int(q, 0, 1) >= quota) return Added::BelowQuota;
        }
        if (!Ok(c.Exec("INSERT INTO scores (account_id, week, table_id, score, name, badges, "
                       "stamp, level, mode, flags, quit, best, received) VALUES ($1::bigint, "
                       "$2::integer, $3::bigint, $4::bigint, $5, $6::integer, $7::bigint, "
                       "$8::integer, $9::integer, $10::integer, $11::integer, $12, $13::bigint)",
                       {account, w, table, N(r.Score), r.Name, N(r.Badges), N(r.Timestamp),
                        N(r.Level), N(r.GameMode), N(r.GameFlags), N(r.Quit), BestText(r),
                        N(std::time(nullptr))})) ||
            !Ok(c.Exec("DELETE FROM scores WHERE id IN (SELECT id FROM scores WHERE "
                       "account_id = $1::bigint AND week = $2::integer AND table_id = $3::bigint "
                       "ORDER BY score DESC, stamp DESC, id OFFSET $4::bigint)",
                       {account, w, table, N(quota)})))
            return Added::Failed;
        return RebuildTable(c, week, TableIdOf(r)) ? Added::Stored : Added::Failed;
    }

    static bool ReadRows(Connection& c, int week, int64_t tableId, int64_t limit,
                         std::vector<Scores>& rows) {
        const Result q = c.Exec(RowsSql, {N(week), N(tableId), N(limit)});
        if (!Ok(q)) return false;
        for (int i = 0; i < PQntuples(q.get()); ++i) {
            Scores r;
            r.Score = Int(q, i, 0);
            r.Name = Text(q, i, 1);
            r.Badges = static_cast<int>(Int(q, i, 2));
            r.Timestamp = Int(q, i, 3);
            r.Level = static_cast<int>(Int(q, i, 4));
            r.GameMode = static_cast<int>(Int(q, i, 5));
            r.GameFlags = static_cast<int>(Int(q, i, 6));
            r.Quit = static_cast<int>(Int(q, i, 7));
            ReadBest(Text(q, i, 8), r);
            rows.push_back(std::move(r));
        }
        return true;
    }

    // Highest first; among equal scores the more recent game first.
    static bool RebuildTable(Connection& c, int week, int64_t tableId) {
        std::vector<Scores> rows;
        if (!ReadRows(c, week, tableId, TableSize, rows)) return false;
        std::string body;
        for (const auto& r : rows) body += EntryText(r, BestText(r));
        return Ok(c.Exec("INSERT INTO tables (week, table_id, body) VALUES ($1::integer, "
                         "$2::bigint, $3) ON CONFLICT (week, table_id) DO UPDATE SET body = $3",
                         {N(week), N(tableId), body}));
    }

    // The threads that may call at once: the server's workers and hashers.
    static constexpr int PoolSize = 10;

    std::string url_, where_, secret_;
    std::vector<std::unique_ptr<Connection>> pool_;
    std::vector<Connection*> free_;
    std::mutex mutex_;
    std::condition_variable available_;
    std::atomic<uint64_t> writes_{0};
};

}  // namespace

std::unique_ptr<Store> OpenPostgres(const std::string& url, std::string& error, int64_t* cleaned) {
    auto store = std::make_unique<PostgresStore>(url);
    if (!store->Open(error, cleaned)) return nullptr;
    return store;
}

}  // namespace scoreserver::storedetail
