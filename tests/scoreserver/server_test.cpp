// The real score server program on a loopback port: the game's exact bytes,
// hostile clients, the connection cap, stopping and restarting.
#include "tests/scoreserver/support.h"

using namespace servertest;

namespace {

class ServerTest : public testing::TestWithParam<std::string> {
protected:
    void SetUp() override { SKIP_WITHOUT(db); }
    fs::path Db() const { return db.where(); }
    ScratchTree tree;
    TestDatabase db{GetParam(), tree.Root()};
};

INSTANTIATE_TEST_SUITE_P(Stores, ServerTest, StoreKinds, KindName);

TEST_P(ServerTest, GameRequestsRegisterSubmitAndFetch) {
    ServerProcess server(Db());
    const std::string payload = LoginPayload("Anna", "secret");
    const std::string login = server.Get(LoginPath(payload));
    EXPECT_EQ(Status(login), 200);
    EXPECT_EQ(Body(login), "Welcome!|");
    EXPECT_EQ(Body(server.Get(LoginPath(payload))), "Password Correct|");

    const Scores game = Game(777, 20261209120000);
    EXPECT_EQ(Body(server.Get(ScorePath(ScorePayload("Anna", "secret", game)))), "OK");
    const std::string table = Body(server.Get(TablePath(1)));
    EXPECT_EQ(table.substr(0, table.find('\n')), "777|Anna|5|20261209120000|0|1|0|0");
    // A table nobody played answers with the HTML page the game looks for.
    const std::string missing = server.Get(TablePath(2));
    EXPECT_EQ(Status(missing), 404);
    EXPECT_NE(Body(missing).find("<HEAD>"), std::string::npos);

    // One line per request: peer, path, status, result; never the payload.
    const auto log = server.Log(5);
    ASSERT_EQ(log.size(), 5u);
    EXPECT_NE(log[0].find(" 127.0.0.1:"), std::string::npos);
    EXPECT_NE(log[0].find(" /enscore/login.php 200 registered"), std::string::npos);
    EXPECT_NE(log[2].find(" /enscore/scores.php 200 stored table 1"), std::string::npos);
    for (const auto& line : log) EXPECT_EQ(line.find(payload.substr(0, 16)), std::string::npos);
}

TEST_P(ServerTest, HostileRequestsAreRefusedAndChangeNothing) {
    ServerProcess server(Db(), {"--timeout-ms", "1500"});
    server.Get(LoginPath(LoginPayload("Anna", "secret")));
    server.Get(ScorePath(ScorePayload("Anna", "secret", Game(10, 1))));
    const auto before = CountsIn(Db());
    ASSERT_EQ(before.scores, 1);

    std::string forged = ScorePayload("Anna", "secret", Game(99, 2));
    forged[20] = forged[20] == '7' ? '8' : '7';
    const std::string endless(64 * 1024, 'A');
    struct Case {
        std::string bytes;
        int status;
    } cases[] = {
        {"GET /" + std::string(9000, 'x') + " HTTP/1.0\n\n", 431},
        {"GET //enscore/tables/283/1.txt HTTP/1.0\nX: " + endless, 431},
        {GameRequest(LoginPath("00FF00FF00FF00FF00FF00FF00FF")), 400},
        {GameRequest(LoginPath("'; DROP TABLE accounts; --")), 400},
        {GameRequest(LoginPath(LoginPayload("x'); DELETE FROM scores;--", "secret"))), 400},
        {GameRequest(ScorePath(forged)), 400},
        {GameRequest("/enscore/tables/283/../../scores.sqlite"), 404},
        {GameRequest("/enscore/tables/..%2F..%2Fetc/1.txt"), 404},
        {"\x16\x03\x01\x02\x01\x01\xfc\x03\x03\n\n", 400},  // a TLS greeting
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Status(Exchange(server.port(), c.bytes)), c.status) << c.bytes.substr(0, 60);
        EXPECT_EQ(Status(server.Get(TablePath(1))), 200);  // still answering
    }

    // A slow client gets the time-out reply while others are served.
    const int slow = Connect(server.port());
    SendText(slow, "GET //enscore/tab");
    EXPECT_EQ(Status(server.Get(TablePath(1))), 200);
    EXPECT_EQ(Status(ReadToClose(slow, 5000)), 408);
    ::close(slow);

    const auto after = CountsIn(Db());
    EXPECT_EQ(after.accounts, before.accounts);
    EXPECT_EQ(after.scores, before.scores);
}

TEST_P(ServerTest, ConnectionsBeyondTheCapAreTurnedAway) {
    ServerProcess server(Db(), {"--max-connections", "2", "--timeout-ms", "3000"});
    const int a = Connect(server.port()), b = Connect(server.port());
    // Wait until both are being served (their threads hold the two places).
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(Status(server.Get(TablePath(1))), 503);
    ::close(a);
    ::close(b);
    std::string reply;
    for (int i = 0; i < 50 && Status(reply) != 404; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        reply = server.Get(TablePath(1));
    }
    EXPECT_EQ(Status(reply), 404);
}

TEST_P(ServerTest, DataOutlivesAKillAndAStop) {
    {
        ServerProcess server(Db());
        server.Get(LoginPath(LoginPayload("Anna", "secret")));
        server.Get(ScorePath(ScorePayload("Anna", "secret", Game(321, 5))));
        EXPECT_EQ(server.Stop(SIGKILL), -1);  // no chance to close anything
    }
    ServerProcess server(Db());
    EXPECT_EQ(Body(server.Get(LoginPath(LoginPayload("Anna", "secret")))), "Password Correct|");
    EXPECT_EQ(Body(server.Get(LoginPath(LoginPayload("Anna", "other")))), "WRONG PASSWORD");
    EXPECT_EQ(Body(server.Get(TablePath(1))).substr(0, 4), "321|");
    // SIGTERM (and SIGINT) stop it cleanly, with a last log line.
    EXPECT_EQ(server.Stop(SIGTERM), 0);
    EXPECT_NE(server.Log().back().find("scoreserver stopped"), std::string::npos);
}

}  // namespace
