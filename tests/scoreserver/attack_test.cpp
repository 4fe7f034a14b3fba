// The server program attacked on loopback as an outsider would: other
// loopback addresses (127.0.0.2, ...) stand for other clients. Every loop is
// bounded in count and time.
#include <sys/stat.h>

#include <atomic>

#include "tests/scoreserver/support.h"

using namespace servertest;

namespace {

class AttackTest : public testing::TestWithParam<std::string> {
protected:
    void SetUp() override { SKIP_WITHOUT(db); }
    fs::path Db() const { return db.where(); }
    std::string Login(ServerProcess& s, const std::string& name, const std::string& password,
                      const char* from = nullptr) {
        return Body(s.Get(LoginPath(LoginPayload(name, password)), from));
    }
    std::string Submit(ServerProcess& s, const std::string& name, const Scores& r) {
        return Body(s.Get(ScorePath(ScorePayload(name, "secret", r))));
    }
    ScratchTree tree;
    TestDatabase db{GetParam(), tree.Root()};
};

INSTANTIATE_TEST_SUITE_P(Stores, AttackTest, StoreKinds, KindName);

int Count(const std::vector<std::string>& log, const std::string& text) {
    return static_cast<int>(std::count_if(log.begin(), log.end(), [&](const std::string& l) {
        return l.find(text) != std::string::npos;
    }));
}

TEST_P(AttackTest, MarkupInNamesIsRefusedAndCleanedFromOldRows) {
    {
        // A row an older server let in.
        std::string error;
        auto store = scoreserver::OpenStore(Db().string(), error);
        ASSERT_TRUE(store) << error;
        ASSERT_TRUE(store->AddAccount("old player", "Old Player", "x"));
        Scores r = Game(50, 1, "<head>");
        EXPECT_EQ(store->AddScore(store->FindAccount("old player")->id, 283, r, 5),
                  scoreserver::Store::Added::Stored);
    }
    ServerProcess server(Db());
    const std::string table = Body(server.Get(TablePath(1)));
    EXPECT_EQ(table.substr(0, table.find('\n')), "50|(head)|5|1|0|1|0|0");
    EXPECT_EQ(Count(server.StartLog(), "score names held"), 1);
    for (const char* name : {"<head>", "<HEAD>x", "a>b<c"})
        EXPECT_EQ(Login(server, name, "secret"), "WRONG PASSWORD") << name;
    EXPECT_EQ(CountsIn(Db()).accounts, 1);
}

TEST_P(AttackTest, AGuesserElsewhereNeverLocksTheOwnerOut) {
    ServerProcess server(Db());
    ASSERT_EQ(Login(server, "Owner", "secret"), "Welcome!|");
    for (int i = 0; i < 12; ++i) Login(server, "Owner", "guess" + std::to_string(i), "127.0.0.2");
    EXPECT_EQ(Login(server, "Owner", "secret", "127.0.0.2"), "LOCKED");
    EXPECT_EQ(Login(server, "Owner", "secret"), "Password Correct|");
    EXPECT_EQ(Submit(server, "Owner", Game(10, 1)), "OK");
    // A held button: the same wrong password again and again counts once.
    for (int i = 0; i < 8; ++i) EXPECT_EQ(Login(server, "Owner", "typo", "127.0.0.3"), "WRONG PASSWORD");
    EXPECT_EQ(Login(server, "Owner", "secret", "127.0.0.3"), "Password Correct|");
}

TEST_P(AttackTest, HalfOpenConnectionsFromOneAddressLeaveOthersServed) {
    ServerProcess server(Db());
    std::vector<int> held;
    for (int i = 0; i < 200; ++i) held.push_back(Connect(server.port(), "127.0.0.2"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (int i = 0; i < 10; ++i) EXPECT_EQ(Status(server.Get(TablePath(1))), 404);
    for (int fd : held) ::close(fd);
    // Refused at once, and logged once a minute, not once a connection.
    EXPECT_EQ(Count(server.Log(), "503 too many connections from this address"), 1);
}

TEST_P(AttackTest, ARegistrationFloodLeavesFetchesFast) {
    ServerProcess server(Db());  // the real password-hash cost
    std::atomic<bool> stop{false};
    std::atomic<int> sent{0};
    std::vector<std::thread> flood;
    for (int t = 0; t < 32; ++t) {
        flood.emplace_back([&, t] {
            for (int i = 0; i < 200 && !stop; ++i) {
                server.Get(LoginPath(LoginPayload("Flood" + std::to_string(t * 100 + i), "secret")),
                           "127.0.0.2");
                ++sent;
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::vector<double> seconds;
    for (int i = 0; i < 9; ++i) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Status(server.Get(TablePath(1))), 404);
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    stop = true;
    for (auto& t : flood) t.join();
    std::sort(seconds.begin(), seconds.end());
    EXPECT_LT(seconds[4], 0.5) << "median fetch during " << sent << " registrations";
    EXPECT_LE(CountsIn(Db()).accounts, 10);  // one address's registrations an hour
}

TEST_P(AttackTest, AnEntryNeverShowsUnderAnotherAccountsName) {
    ServerProcess server(Db());
    ASSERT_EQ(Login(server, "Alice", "secret"), "Welcome!|");
    ASSERT_EQ(Login(server, "mallory", "secret"), "Welcome!|");
    EXPECT_EQ(Submit(server, "mallory", Game(900, 1, "Alice")), "OK");
    const std::string table = Body(server.Get(TablePath(1)));
    EXPECT_EQ(SplitField(table, "|", 2), "mallory");
    // One person, one name: case and look-alike spaces make no new account.
    ASSERT_EQ(Login(server, "Ann Lee", "secret"), "Welcome!|");
    for (const char* name : {"alice", "ALICE", "ann\xA0lee", "Ann  Lee", "An\xADn Lee"})
        EXPECT_EQ(Login(server, name, "other"), "WRONG PASSWORD") << name;
    EXPECT_EQ(Login(server, "aLiCe", "secret"), "Password Correct|");
    EXPECT_EQ(CountsIn(Db()).accounts, 3);
}

TEST_P(AttackTest, OneAccountKeepsItsBestFewAndOnlyTablesTheGameAsksFor) {
    ServerProcess server(Db());
    ASSERT_EQ(Login(server, "Filler", "secret"), "Welcome!|");
    for (int i = 0; i < 20; ++i) EXPECT_EQ(Submit(server, "Filler", Game(i * 10, 100 + i)), "OK");
    std::string error;
    auto store = scoreserver::OpenStore(Db().string(), error);
    ASSERT_TRUE(store) << error;
    const auto rows = store->Rows(283, 1);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows.front().Score, 190);
    EXPECT_EQ(rows.back().Score, 150);
    // Level and flags beyond what the game sends make no table.
    EXPECT_EQ(Submit(server, "Filler", Game(5, 1, "x", 1, 1, 0)), "REFUSED");
    EXPECT_EQ(Submit(server, "Filler", Game(5, 1, "x", 1, 0, 123456789)), "REFUSED");
    EXPECT_EQ(CountsIn(Db()).tables, 1);
}

TEST_P(AttackTest, TheDatabaseIsForTheServersUserOnly) {
    if (GetParam() != "sqlite") GTEST_SKIP() << "a file only for SQLite";
    ServerProcess server(Db());
    Login(server, "Owner", "secret");
    for (const char* suffix : {"", "-wal"}) {
        struct stat st{};
        ASSERT_EQ(::stat((Db().string() + suffix).c_str(), &st), 0) << suffix;
        EXPECT_EQ(st.st_mode & 0777, 0600u) << suffix;
    }
    EXPECT_EQ(Count(server.StartLog(), " bytes, 0 accounts"), 1);  // its size at start
}

}  // namespace
