// End to end: the game's own online client, headless, pointed at the real
// score server program through "Setup.ini" ("Online = True", "Score Server =
// 127.0.0.1:<port>"), on a fresh database.
#include "framework/game_info.h"
#include "framework/setup.h"
#include "game/round.h"
#include "scores/board.h"
#include "scores/online.h"
#include "scores/scores.h"
#include "tests/scores/support.h"
#include "tests/scoreserver/support.h"

using namespace servertest;
using testing_support::WriteText;

namespace {

// The online panel's place on a 1280-wide title screen.
constexpr int PanelW = 335;
constexpr int PanelP = 1280 - (PanelW + 5);

// "Setup.ini" naming the server, read the way start-up reads it.
void PointGameAt(const gametest::Scratch& tree, int port) {
    WriteText(tree.Files() / "Setup.ini", "[Online]\r\nOnline = True\r\nScore Server = 127.0.0.1:" +
                                              std::to_string(port) + "\r\n");
    fs::current_path(tree.Files());
    LoadSetup();
    fs::current_path(tree.Game());
}

bool LogIn(const std::string& password) {
    LoggedIn = 0;
    LoginName = "Juggler";
    LoginPassword = password;
    TryLogin();
    return LoggedIn == 1;
}

// A refresh of the Medium table as the Online tab runs it.
void Refresh() {
    OnlineList.clear();
    SubmittedThisRefresh = 0;
    FetchTableOnShow();
}

TEST(GameClient, RegistersSubmitsAFinishedGameAndFindsItAgainAfterARestart) {
    gametest::Scratch tree;
    const fs::path db = tree.Root() / "scores.sqlite";
    WriteText(tree.Root() / "motd.txt", "Welcome to the test server\r\n\r\nHave fun\r\n");
    ServerProcess server(db, {"--motd", (tree.Root() / "motd.txt").string()});
    gametest::StartWithWindow(tree);
    PointGameAt(tree, server.port());
    ASSERT_EQ(OnlineEnabled, 1);

    // A new name registers; the same name with another password is refused.
    ASSERT_TRUE(LogIn("bounce42"));
    EXPECT_EQ(MotdCount, 2);
    EXPECT_EQ(MotdLines[2], "Have fun");
    EXPECT_FALSE(LogIn("bounce43"));
    EXPECT_EQ(LoginErrorText(), "WRONG PASSWORD");

    // A finished Medium game, filed as the round files it.
    CurGameMode = 1;
    CurScore = 4321;
    CurBadges = 3;
    CurBest[1] = 17;
    PlayerName = "Juggler";
    FileRoundScore(1);
    ASSERT_TRUE(LogIn("bounce42"));
    DrawScoreBoard(ScoreList, PanelP, PanelW, 1, 0, 0, false);  // picks TableBest
    ASSERT_TRUE(TableBest);

    Refresh();  // no table yet: the game is sent
    Refresh();  // it comes back (and is sent again, which stores nothing new)
    ASSERT_EQ(OnlineList.size(), 1u);
    EXPECT_EQ(OnlineList.front()->GameMode, -2);
    DrawScoreBoard(OnlineList, PanelP, PanelW, -2, 0, 0, true);
    ASSERT_TRUE(TopTable[1]);
    EXPECT_EQ(TopTable[1]->Score, 4321);
    EXPECT_EQ(TopTable[1]->Name, "Juggler");
    EXPECT_EQ(TopTable[1]->Best[1], 17);
    EXPECT_EQ(TopTable[1]->Timestamp, ScoreList.front()->Timestamp);

    // Restarted, the server still knows the account and the game.
    EXPECT_EQ(server.Stop(), 0);
    server.Start(db);
    PointGameAt(tree, server.port());
    EXPECT_FALSE(LogIn("bounce43"));
    ASSERT_TRUE(LogIn("bounce42"));
    Refresh();
    ASSERT_EQ(OnlineList.size(), 1u);
    EXPECT_EQ(OnlineList.front()->Score, 4321);
    EXPECT_EQ(CountsIn(db).scores, 1);
}

}  // namespace
