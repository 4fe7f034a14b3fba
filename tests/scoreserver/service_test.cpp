// The score server's answers, driven in-process on a fresh database: request
// parsing, logins, the lock-out, submissions and the tables they build.
#include <sodium.h>

#include "tests/scoreserver/support.h"
#include "tools/scoreserver/service.h"

using namespace servertest;
using scoreserver::Route;

namespace {

// A fresh database of each kind and a service with the cheapest password
// hash (the cost changes nothing the tests look at).
class ServiceTest : public testing::TestWithParam<std::string> {
protected:
    ServiceTest() : db(GetParam(), tree.Root()), service(Config()) {}
    void SetUp() override {
        SKIP_WITHOUT(db);
        std::string error;
        ASSERT_TRUE(service.Open(db.where(), error)) << error;
        service.clock = [this] { return now; };
    }
    static scoreserver::ServiceConfig Config() {
        scoreserver::ServiceConfig c;
        c.motd = "Line one\nLine two";
        c.hashOps = crypto_pwhash_OPSLIMIT_MIN;
        c.hashMemory = crypto_pwhash_MEMLIMIT_MIN;
        c.maxLevel = c.maxFlags = 9;  // tables beyond the one this game plays
        return c;
    }
    scoreserver::Answer Login(const std::string& name, const std::string& password) {
        return service.Login("283", LoginPayload(name, password));
    }
    scoreserver::Answer Submit(const Scores& r, const std::string& name = "Anna",
                               const std::string& password = "secret") {
        return service.Submit("283", ScorePayload(name, password, r));
    }

    ScratchTree tree;
    TestDatabase db;
    scoreserver::ScoreService service;
    int64_t now = 1000;
};

INSTANTIATE_TEST_SUITE_P(Stores, ServiceTest, StoreKinds, KindName);

TEST(ScoreServerHttp, RequestsAreRoutedAsTheGameSendsThem) {
    struct Case {
        std::string line;
        Route route;
        std::string week, input;
        int64_t table;
    } cases[] = {
        {"GET //enscore/login.php?week=283&input=AB12 HTTP/1.0", Route::Login, "283", "AB12", 0},
        {"GET //enscore/scores.php?Week=283&Input=CD HTTP/1.0", Route::Score, "283", "CD", 0},
        {"GET /enscore/scores.php?input=EF&week=7&week=9 HTTP/1.1", Route::Score, "7", "EF", 0},
        {"GET //enscore/tables/283/1002.txt HTTP/1.0", Route::Table, "283", "", 1002},
        {"GET /enscore/tables/283/../1.txt HTTP/1.0", Route::NotFound, "", "", 0},
        {"GET /enscore/tables/283/..%2F1.txt HTTP/1.0", Route::NotFound, "", "", 0},
        {"GET /enscore/tables/abc/1.txt HTTP/1.0", Route::NotFound, "", "", 0},
        {"GET /enscore/tables/283/-1.txt HTTP/1.0", Route::NotFound, "", "", 0},
        {"GET /enscore/tables/283/1.txt?x=1 HTTP/1.0", Route::NotFound, "", "", 0},
        {"GET /enscore/tables/283/1234567890123456789.txt HTTP/1.0", Route::NotFound, "", "", 0},
        {"GET ///enscore/login.php HTTP/1.0", Route::NotFound, "", "", 0},
        {"GET /../../etc/passwd HTTP/1.0", Route::NotFound, "", "", 0},
        {"POST //enscore/login.php HTTP/1.0", Route::Bad, "", "", 0},
        {"GET //enscore/login.php", Route::Bad, "", "", 0},
        {"GET enscore/login.php HTTP/1.0", Route::Bad, "", "", 0},
        {"", Route::Bad, "", "", 0},
    };
    for (const auto& c : cases) {
        const auto r = scoreserver::ParseRequest(c.line + "\nHost: x\n\n");
        EXPECT_EQ(r.route, c.route) << c.line;
        EXPECT_EQ(r.week, c.week) << c.line;
        EXPECT_EQ(r.input, c.input) << c.line;
        EXPECT_EQ(r.tableId, c.table) << c.line;
    }
    EXPECT_EQ(scoreserver::HeadLength("GET / HTTP/1.0\nA: b\n\n\r\n"), 21u);
    EXPECT_EQ(scoreserver::HeadLength("GET / HTTP/1.0\r\nA: b\r\n\r\nrest"), 24u);
    EXPECT_EQ(scoreserver::HeadLength("GET / HTTP/1.0\r\nA: b\r\n"), 0u);
}

TEST(ScoreServerMotd, CleanedForTheLoginReply) {
    EXPECT_EQ(scoreserver::CleanMotd("Hello\r\n\r\n  \na|b \n"), "Hello\na/b");
    std::string many;
    for (int i = 1; i <= 25; ++i) many += "line " + std::to_string(i) + "\n";
    const std::string cleaned = scoreserver::CleanMotd(many);
    EXPECT_EQ(std::count(cleaned.begin(), cleaned.end(), '\n'), 18);
    EXPECT_EQ(cleaned.substr(cleaned.rfind('\n') + 1), "line 19");
}

TEST_P(ServiceTest, NewNameRegistersThenOnlyItsPasswordLogsIn) {
    EXPECT_EQ(Login("Anna", "secret").body, "Welcome!|Line one\nLine two");
    EXPECT_EQ(Login("Anna", "secret").body, "Password Correct|Line one\nLine two");
    const auto wrong = Login("Anna", "Secret");
    EXPECT_EQ(wrong.body, "WRONG PASSWORD");
    EXPECT_EQ(wrong.status, 403);

    // Stored only as a salted slow hash.
    const auto account = service.store()->FindAccount(scoreserver::NameKey("Anna"));
    ASSERT_TRUE(account);
    EXPECT_EQ(account->hash.rfind("$argon2", 0), 0u);
    EXPECT_EQ(account->hash.find("secret"), std::string::npos);
}

TEST_P(ServiceTest, RefusedLoginsStoreNothing) {
    std::string forged = LoginPayload("Anna", "secret");
    forged[10] = forged[10] == 'A' ? 'B' : 'A';
    const std::string outer = Scramble("Anna|" + Credentials("Bert", "secret"), GameKey());
    struct Case {
        std::string week, payload, result;
    } cases[] = {
        {"283", forged, "bad payload"},
        {"283", "", "bad payload"},
        {"283", "zz12", "bad payload"},
        {"283", Scramble("Anna|" + Credentials("Anna", "secret"), "OTHERKEY"), "bad payload"},
        {"283", outer, "bad payload"},  // outer and inner names differ
        {"284", LoginPayload("Anna", "secret"), "unknown week"},
        {"28x", LoginPayload("Anna", "secret"), "unknown week"},
        {"283", LoginPayload("Ann", "secret"), "name refused"},
        {"283", LoginPayload("x';DROP TABLE accounts;--", "secret"), "name refused"},
        {"283", LoginPayload("Robert\") OR 1=1", "secret"), "name refused"},
        {"283", LoginPayload(" Anna", "secret"), "name refused"},
        {"283", LoginPayload("Ann\x85x", "secret"), "name refused"},
        {"283", LoginPayload(std::string(33, 'a'), "secret"), "name refused"},
        {"283", LoginPayload("Anna", "abc"), "password refused"},
    };
    for (const auto& c : cases) {
        const auto a = service.Login(c.week, c.payload);
        EXPECT_EQ(a.body, "WRONG PASSWORD") << c.result;
        EXPECT_EQ(a.result, c.result);
    }
    EXPECT_EQ(service.Counts().accounts, 0);
}

TEST_P(ServiceTest, WrongPasswordsLockTheAccountForAWhile) {
    Login("Anna", "secret");
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Login("Anna", "guess" + std::to_string(i)).status, 403);
    // Locked: even the right password is refused, and other accounts are not.
    EXPECT_EQ(Login("Anna", "secret").result, "locked");
    EXPECT_EQ(Submit(Game(10, 1)).result, "locked");
    EXPECT_EQ(Login("Bert", "secret").result, "registered");
    now += 60000;
    EXPECT_EQ(Login("Anna", "secret").result, "logged in");
}

TEST_P(ServiceTest, AcceptedScoreComesBackInItsTable) {
    Login("Anna", "secret");
    Scores game = Game(1234, 20261209101112, "Anna B", 2, 3, 1);
    game.Quit = 1;
    EXPECT_EQ(Submit(game).body, "OK");
    const auto table = service.Table("283", 2 + 300 + 1000);
    EXPECT_EQ(table.status, 200);
    std::string best;
    for (int i = 1; i <= 30; ++i) best += (i > 1 ? "|" : "") + std::to_string(i * 3);
    // Filed under the account's name, whatever name the record carried.
    EXPECT_EQ(table.body, "1234|Anna|5|20261209101112|3|2|1|1\n" + best + "\n");
    // The game reads it back with the score file's own parser.
    ScoreRef back = ParseRecord(SplitField(table.body, "\n", 1) + RecordSeparator + best);
    ASSERT_TRUE(back);
    game.Name = "Anna";
    EXPECT_EQ(RecordText(*back), RecordText(game));

    // The same game again (every refresh may send it) is stored once.
    EXPECT_EQ(Submit(game).result, "already stored table 1302");
    EXPECT_EQ(service.Counts().scores, 1);

    for (const auto& missing : {service.Table("283", 1), service.Table("284", 1302)}) {
        EXPECT_EQ(missing.status, 404);
        EXPECT_NE(missing.body.find("<HEAD>"), std::string::npos);
    }
}

TEST_P(ServiceTest, TableHoldsTheBestThirtyHighestFirst) {
    // 40 games with scores 0..39 sent in a scrambled order by 8 accounts (5
    // each, their quota), plus a tie at 39 that is more recent than the first
    // and must come first.
    for (int i = 0; i < 40; ++i) {
        const std::string account = "Player" + std::to_string((i * 17) % 8);
        Login(account, "secret");
        Submit(Game((i * 17) % 40, 1000 + i), account);
    }
    Login("Tiebreak", "secret");
    Submit(Game(39, 5000), "Tiebreak");
    const std::string body = service.Table("283", 1).body;
    std::vector<std::string> lines;
    for (int i = 1; SplitField(body, "\n", i) != MissingField; ++i)
        lines.push_back(SplitField(body, "\n", i));
    ASSERT_EQ(lines.size(), 60u);
    EXPECT_EQ(SplitField(lines[0], "|", 2), "Tiebreak");
    EXPECT_EQ(SplitField(lines[2], "|", 1), "39");
    EXPECT_EQ(SplitField(lines[58], "|", 1), "11");
    EXPECT_EQ(service.Counts().scores, 41);
}

TEST_P(ServiceTest, RefusedSubmissionsStoreNothing) {
    Login("Anna", "secret");
    const std::string good = SentLine(Game(50, 7));
    std::string forged = ScorePayloadOf("Anna", "secret", good);
    forged[forged.size() / 2] = forged[forged.size() / 2] == '0' ? '1' : '0';
    auto edited = [&](const std::string& from, const std::string& to) {
        std::string line = good;
        line.replace(line.find(from), from.size(), to);
        return ScorePayloadOf("Anna", "secret", line);
    };
    struct Case {
        std::string payload, result;
    } cases[] = {
        {forged, "bad payload"},
        {edited("50|Ann|", "5x|Ann|"), "bad record"},
        {edited("50|Ann|", "-50|Ann|"), "bad record"},
        {edited("|1|0|0|", "|3|0|0|"), "bad record"},             // no such difficulty
        {edited("|1|0|0|", "|1|0|2|"), "bad record"},             // Quit is 0 or 1
        {edited("|87|90", "|87"), "bad record"},                  // 29 bests
        {edited("|87|90", "|87|90|93"), "bad record"},            // 31 bests
        {edited("|Ann|", "|Ann|x|"), "bad record"},               // 9 fields
        {edited("|Ann|", "|Ann\x01|"), "bad record"},
        {edited("|Ann|", "|" + std::string(65, 'n') + "|"), "bad record"},
        {edited("|" + RecordSeparator + "|", RecordSeparator), "bad record"},
        {ScorePayload("Anna", "wrong", Game(50, 7)), "wrong password"},
        {ScorePayload("Nobody", "secret", Game(50, 7)), "unknown account"},
    };
    for (const auto& c : cases) EXPECT_EQ(service.Submit("283", c.payload).result, c.result);
    EXPECT_EQ(service.Counts().scores, 0);
    EXPECT_EQ(service.Counts().tables, 0);
}

}  // namespace
