// The online score service against a score server stand-in on 127.0.0.1:
// payloads and paths, reply bodies, field editing, the login with its message
// of the day, and which fetched tables make the best local game go out.
#include <gtest/gtest.h>

#include "framework/game_info.h"
#include "framework/setup.h"
#include "scores/http.h"
#include "scores/online.h"
#include "scores/scores.h"
#include "tests/scores/loopback_server.h"
#include "tests/scores/support.h"

using namespace gametest;

namespace {

bool HexOnly(const std::string& s) {
    return !s.empty() && s.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}

// The query's payload of a request line ("...&input=HEX HTTP/1.0").
std::string PayloadOf(const std::string& request) {
    const std::string line = request.substr(0, request.find('\n'));
    const size_t at = line.find("nput=") + 5;
    return line.substr(at, line.find(' ', at) - at);
}

ScoreRef Game(int64_t score, int mode, const std::string& name = "Local") {
    auto r = std::make_shared<Scores>();
    r->Score = score;
    r->Name = name;
    r->GameMode = mode;
    r->Timestamp = 1000 + score;
    r->Best[1] = 7;
    r->Best[30] = 1;
    return r;
}

class Online : public ::testing::Test {
protected:
    void SetUp() override {
        StartClean(tree_);
        OnlineEnabled = 1;
        ScoreServer = server_.Address();
        CurGameMode = 1;
        LoginName = "Tester";
        LoginPassword = "secret";
    }
    void TearDown() override { CloseLog(); }
    Scratch tree_;
    FakeScoreServer server_;
};

}  // namespace

TEST(OnlineWire, ResponseBodyTakesTheTextBetweenBlankLines) {
    const struct {
        std::string reply, body;
    } cases[] = {
        {"HTTP/1.0 200 OK\nA: b\n\nbody\nline", "body\nline"},
        {"head\n\nbody\n\nfooter\n\nagain", "bodyagain"},
        {"no blank line\n", ""},
        {"head\n\n", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ResponseBody(c.reply), c.body) << c.reply;
}

TEST(OnlineWire, PathsAndTableIds) {
    WeekNumber = 283;
    EXPECT_EQ(LoginPath("0A"), "/enscore/login.php?week=283&input=0A");
    EXPECT_EQ(ScorePath("0A"), "/enscore/scores.php?Week=283&Input=0A");
    EXPECT_EQ(TablePath("2102"), "/enscore/tables/283/2102.txt");
    EXPECT_EQ(TableId(2, 1, 2), "2102");
    EXPECT_EQ(TableId(0, 0, 0), "0");
    EXPECT_EQ(FramedSeparator, "|" + RecordSeparator + "|");
}

TEST_F(Online, PayloadsAreHexAndCarryTheAccountAndTheRecord) {
    LoginName = "Ab\xE9x";
    LoginPassword = "pw pw";
    const std::string inner = Scramble("Ab\xE9x|pw pw", AccountKey);
    const std::string login = LoginPayload();
    EXPECT_TRUE(HexOnly(login));
    EXPECT_EQ(Unscramble(login, DefaultKey), "Ab\xE9x|" + inner);

    const ScoreRef r = Game(1234, 2, "Me");
    const std::string score = ScorePayload(*r);
    EXPECT_TRUE(HexOnly(score));
    const std::string plain = Unscramble(score, DefaultKey);
    EXPECT_EQ(plain, "Ab\xE9x|" + inner + "|1234|Me|0|2234|0|2|0|0" + FramedSeparator +
                         "7|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|1");
}

TEST_F(Online, EditTextTakesOneCharacterAFrameAndBackspace) {
    HeadlessChar('a');
    HeadlessChar(7);  // below 32: dropped
    HeadlessChar('b');
    EXPECT_EQ(EditText("x"), "xa");
    EXPECT_EQ(EditText("xa"), "xa");
    EXPECT_EQ(EditText("xa"), "xab");
    HeadlessTap(8);
    EXPECT_EQ(EditText("a"), "");
    HeadlessTap(8);
    EXPECT_EQ(EditText(""), "");
}

TEST_F(Online, LoginReadsTheMessageOfTheDay) {
    const struct {
        std::string body;
        int loggedIn, count;
        std::string first, last;
    } cases[] = {
        {"Password Correct|Hello\nWorld|tail", 1, 2, "Hello", "World"},
        {"Welcome!|  padded  \nline|", 1, 2, "padded", "line"},
        {"Welcome!", 1, 0, "", ""},                // no "|": no message
        {"Welcome!|one line|", 1, 1, "one line", "one line"},  // shown once
        {"Welcome!|a\n\nb", 1, 1, "a", "a"},  // a blank line ends the body
        {"Welcome!|a\n-+-\nb|", 1, 1, "a", "a"},  // so does the end marker
        {"Wrong password", 0, 0, "", ""},
        {"password correct|x", 0, 0, "", ""},
    };
    for (const auto& c : cases) {
        ResetOnline();
        OnlineEnabled = 1;
        ScoreServer = server_.Address();
        server_.SetLogin(c.body);
        TryLogin();
        EXPECT_EQ(LoggedIn, c.loggedIn) << c.body;
        EXPECT_EQ(LoginFailed, 1 - c.loggedIn) << c.body;
        EXPECT_EQ(RefreshState, c.loggedIn) << "accepted: the table is fetched at once";
        EXPECT_EQ(MotdCount, c.count) << c.body;
        if (c.count > 0) {
            EXPECT_EQ(MotdLines[1], c.first);
            EXPECT_EQ(MotdLines[c.count], c.last);
        }
    }
    const auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), 8u);
    EXPECT_EQ(requests[0].rfind("GET //enscore/login.php?week=283&input=", 0), 0u);
    EXPECT_TRUE(HexOnly(PayloadOf(requests[0])));
}

TEST_F(Online, AFetchedTableDecidesWhetherTheBestLocalGameGoesOut) {
    const struct {
        const char* what;
        bool tableExists;
        int entries;
        int64_t top;
        int64_t localBest;  // 0: no local game of the table
        int sent;
    } cases[] = {
        {"missing table", false, 0, 0, 500, 1},
        {"missing table, no local game", false, 0, 0, 0, 0},
        {"fewer than 30 entries", true, 3, 900, 10, 1},
        {"30 entries, one beaten", true, 30, 900, 700, 1},
        {"30 entries, one equalled", true, 30, 900, 610, 1},
        {"30 entries, none beaten", true, 30, 900, 5, 0},
        {"fewer than 30, no local game", true, 3, 900, 0, 0},
        {"more than 30 lines: 30 read", true, 40, 900, 5, 0},
    };
    int sentSoFar = 0;
    for (const auto& c : cases) {
        OnlineList.clear();
        ScoreList.clear();
        OnlineList.push_back(Game(42, -3));  // another table's entry stays
        if (c.localBest > 0) {
            AddScore(Game(c.localBest, 1));
            AddScore(Game(c.localBest - 1, 1));
        }
        SelectTopTable(ScoreList, 1, 0, 0);
        TableBest = c.localBest > 0 ? TopTable[1] : nullptr;
        server_.SetTable("1", c.tableExists ? TableFile(c.entries, 1, c.top)
                                            : "<HTML><Head></Head></HTML>");
        SubmittedThisRefresh = 0;
        FetchTableOnShow();

        sentSoFar += c.sent;
        EXPECT_EQ(server_.Count("/enscore/scores.php?Week=283&Input="), sentSoFar) << c.what;
        EXPECT_EQ(SubmittedThisRefresh, c.sent) << c.what;
        const int expected = c.tableExists ? std::min(c.entries, 30) : 0;
        ASSERT_EQ(static_cast<int>(OnlineList.size()), expected + 1) << c.what;
        for (const auto& r : OnlineList) {
            EXPECT_LT(r->GameMode, 0) << "an online entry";
            if (r->Name != "Local") {
                EXPECT_EQ(r->GameMode, -2);
            }
        }
    }
    for (const auto& r : server_.Requests()) {
        if (r.find("scores.php") == std::string::npos) continue;
        const std::string payload = PayloadOf(r);
        EXPECT_TRUE(HexOnly(payload));
        EXPECT_NE(Unscramble(payload, DefaultKey).find("|Local|"), std::string::npos);
    }
}

TEST_F(Online, OnePressOnLoginSendsOneLoginAndALockHasItsOwnLine) {
    StartWithWindow(tree_);
    OnlineEnabled = 1;
    ScoreServer = server_.Address();
    LoginName = "Tester";
    LoginPassword = "secret";
    const int P = 1280 - 340, W = 335;
    const struct {
        const char* reply;
        int frames;  // the button held this long (7 frames: a 100 ms click)
        const char* shown;
    } presses[] = {{"LOCKED", 7, "LOCKED, TRY LATER"}, {"WRONG PASSWORD", 3, "WRONG PASSWORD"}};
    int sent = 0;
    for (const auto& press : presses) {
        server_.SetLogin(press.reply);
        MouseXNow = P + 60;  // on "Login"
        MouseYNow = ScreenHeight - 20;
        HeadlessMouseButton(1, true);
        for (int frame = 0; frame < press.frames; ++frame) DrawOnlinePanel(P, W);
        HeadlessMouseButton(1, false);
        DrawOnlinePanel(P, W);
        EXPECT_EQ(server_.Count("/enscore/login.php"), ++sent) << press.reply;
        EXPECT_EQ(LoginErrorText(), press.shown);
    }
}

TEST_F(Online, ANameHoldingMarkupIsReadAsAnEntry) {
    std::string table = TableFile(2, 1, 500);
    table.replace(table.find("Net0"), 4, "<head>");
    server_.SetTable("1", table);
    FetchTableOnShow();
    ASSERT_EQ(OnlineList.size(), 2u);
    EXPECT_EQ(SubmittedThisRefresh, 0) << "no local game: nothing to send";
}

TEST_F(Online, AStalledServerFailsTheLoginAndTheFetchWithinTheBound) {
    const int saved = HttpReplyMs;
    HttpReplyMs = 300;
    LoopbackServer stalled([](int, const std::string&, const std::atomic<bool>& stopping) {
        while (!stopping) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    });
    ScoreServer = stalled.Address();
    TryLogin();
    EXPECT_EQ(LoggedIn, 0);
    EXPECT_EQ(LoginFailed, 1);
    // A refresh against it: the fetch fails, and the local game is not sent
    // after it (that would block the frame a second time).
    AddScore(Game(10, 1));
    TableBest = ScoreList.front();
    FetchTableOnShow();
    HttpReplyMs = saved;
    EXPECT_EQ(SubmittedThisRefresh, 0);
    int failures = 0;
    for (const auto& l : ReadLines(tree_.Files() / "Debug.txt"))
        if (l.rfind("\tOnline request failed: no complete reply", 0) == 0) ++failures;
    EXPECT_EQ(failures, 2) << "one line per failed request";
}

TEST(OnlineSetup, TheSwitchAndTheServerComeFromTheSetupFile) {
    const struct {
        std::string line;
        int enabled;
        std::string server;
    } cases[] = {
        {"Online = True", 1, "localhost"},
        {"online=on", 1, "localhost"},
        {"Online = False", 0, "localhost"},
        {"Online = 1", 0, "localhost"},
        {"Score Server = scores.example:8080", 0, "scores.example:8080"},
        {"ScoreServer=10.0.0.2", 0, "10.0.0.2"},
    };
    for (const auto& c : cases) {
        ResetOnline();
        bool sawDriver = false;
        ApplySetupLine(c.line, sawDriver);
        EXPECT_EQ(OnlineEnabled, c.enabled) << c.line;
        EXPECT_EQ(ScoreServer, c.server) << c.line;
    }
    ResetOnline();
}
