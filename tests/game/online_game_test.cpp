// Whole-game tests of the online service: the real program on the headless
// back ends, its title screen driven step by step by a scripted mouse and
// keyboard, against a score server stand-in on 127.0.0.1. With the switch
// off, no connection is ever made.
#include <gtest/gtest.h>

#include <functional>

#include "app/app.h"
#include "app/title.h"
#include "draw/draw.h"
#include "framework/game_info.h"
#include "framework/graphics.h"
#include "framework/setup.h"
#include "framework/sound.h"
#include "scores/online.h"
#include "scores/scores.h"
#include "tests/scores/loopback_server.h"
#include "tests/scores/support.h"

using namespace gametest;

namespace {

constexpr int KeyEsc = 27, KeySpace = 32, Key1 = 49, Key3 = 51, KeyF2 = 113;
constexpr int StepFrames = 300;  // a step that waits longer has failed

// A script: one step per title frame until it reports done, then the next.
using Step = std::function<bool()>;

// Runs the program from the tree's root until the script is through (or a
// step waits too long), then leaves through Escape and the closing screen.
void RunScript(const Scratch& tree, const std::vector<Step>& steps) {
    PrepareProgramRun(tree);
    size_t at = 0;
    int waited = 0, seen = 0, delays = 0;
    bool escape = false, closing = false;
    HeadlessOnFlip([&](int) {
        if (TitleFramesShown == seen) {
            closing = escape;  // the closing screen's frame
            return;
        }
        seen = TitleFramesShown;
        if (escape) return;
        if (at < steps.size() && steps[at]()) {
            ++at;
            waited = 0;
        } else if (at < steps.size() && ++waited > StepFrames) {
            ADD_FAILURE() << "step " << at << " never finished";
            at = steps.size();
        }
        if (at == steps.size()) {
            HeadlessMouseButton(1, false);
            HeadlessKey(KeyEsc, true);
            escape = true;
        }
    });
    HeadlessOnDelay([&](uint32_t) {
        if (!closing) return;
        if (KeyDown(KeyEsc)) HeadlessKey(KeyEsc, false);
        if (++delays == 20) HeadlessKey(KeySpace, true);
    });
    bool ended = false;
    try {
        Main();
    } catch (const ProgramEnded&) {
        ended = true;
    }
    HeadlessOnFlip(nullptr);
    HeadlessOnDelay(nullptr);
    HeadlessKey(KeySpace, false);
    CloseLog();
    fs::current_path(tree.Root());
    EXPECT_TRUE(ended);
    EXPECT_EQ(at, steps.size());
}

// Script building blocks.
Step Wait(int frames) {
    auto left = std::make_shared<int>(frames);
    return [left] { return --*left <= 0; };
}
Step Do(std::function<void()> action) {
    return [action] {
        action();
        return true;
    };
}
Step Until(std::function<bool()> condition) { return condition; }
// The pointer moves a frame before the press: frames see the pointer as the
// previous frame's end sampled it.
void Click(std::vector<Step>& s, std::function<std::pair<int, int>()> where) {
    s.push_back(Do([where] {
        const auto [x, y] = where();
        PointAt(x, y);
    }));
    s.push_back(Do([] { HeadlessMouseButton(1, true); }));
    s.push_back(Do([] { HeadlessMouseButton(1, false); }));
}
void Hold(std::vector<Step>& s, int key) {
    s.push_back(Do([key] { HeadlessKey(key, true); }));
    s.push_back(Do([key] { HeadlessKey(key, false); }));
}
void Type(std::vector<Step>& s, const std::string& text) {
    s.push_back(Do([text] {
        for (char c : text) HeadlessChar(static_cast<unsigned char>(c));
    }));
    s.push_back(Wait(static_cast<int>(text.size()) + 1));  // one character a frame
}

// The panel and its boxes once the title has slid in.
int PanelW() { return WindowWidth < 900 ? 415 : 335; }
int PanelX() { return ScreenWidth - (PanelW() + 5); }
std::pair<int, int> OnlineTabBox() { return {PanelX() + int(0.33f * PanelW()) + 10, 20}; }
std::pair<int, int> NameBox() { return {PanelX() + 30, ScreenHeight - 105}; }
std::pair<int, int> PasswordBox() { return {PanelX() + 30, ScreenHeight - 45}; }
std::pair<int, int> LoginButton() { return {PanelX() + 60, ScreenHeight - 15}; }
std::pair<int, int> RefreshButton() { return {PanelX() + PanelW() / 2, 140}; }
std::pair<int, int> DifficultyBox(int mode) {
    return {(ScreenWidth - PanelW()) / 2 - 80, ScreenHeight / 2 + 220 + 50 * mode};
}

bool OnlineTabShown() {
    return BackdropTarget[0] == 0 && BackdropTarget[1] == 1 && BackdropTarget[2] == 0.2f;
}

int Entries(int mode) {
    int n = 0;
    for (const auto& r : OnlineList) n += r->GameMode == -(mode + 1);
    return n;
}

bool HexPayloads(FakeScoreServer& server) {
    for (const auto& r : server.Requests()) {
        const size_t at = r.find("nput=");
        if (at == std::string::npos) continue;
        const std::string payload = r.substr(at + 5, r.find(' ', at) - at - 5);
        if (payload.empty() || payload.find_first_not_of("0123456789ABCDEF") != std::string::npos)
            return false;
    }
    return true;
}

}  // namespace

TEST(OnlineGame, LoginFetchAndSubmitAgainstTheScoreServer) {
    Scratch tree(true);
    FakeScoreServer server;
    server.SetTable("1", TableFile(2, 1, 1000, 1));  // Medium: fewer than 30 entries
    server.SetTable("2", TableFile(3, 2, 1000, 1));  // Hard: no local game of it
    WriteText(tree.Files() / "Setup.ini",
              "[Online]\r\nOnline = True\r\nScore Server = " + server.Address() + "\r\n");
    // One local Medium game; the account is empty.
    InitGlobals();
    BuildDefaultKey();
    Scores local;
    local.Score = 500;
    local.Name = "Local";
    local.GameMode = 1;
    local.Timestamp = 12345;
    WriteText(tree.Game() / "nuscores.dat",
              Scramble("|", AccountKey) + "\r\n" + Scramble(RecordText(local)) + "\r\n");

    std::string motd = "Welcome!|";
    for (int i = 1; i <= 25; ++i) motd += "News " + std::to_string(i) + "\n";

    std::vector<Step> s;
    s.push_back(Wait(40));  // slid in
    // The tab by key and by click.
    Hold(s, Key3);
    s.push_back(Do([] { EXPECT_FALSE(OnlineTabShown()); }));
    Hold(s, KeyF2);
    s.push_back(Do([] { EXPECT_TRUE(OnlineTabShown()) << "F2"; }));
    Hold(s, Key1);
    s.push_back(Do([] { EXPECT_FALSE(OnlineTabShown()); }));
    Click(s, OnlineTabBox);
    s.push_back(Do([] { EXPECT_TRUE(OnlineTabShown()) << "a click on the tab"; }));
    // Banned characters become "_" within a frame; a 3-character name stays
    // local. The focus a click gives is heard once.
    int sounds = 0;
    s.push_back(Do([&] { sounds = SfxCursor; }));
    Click(s, NameBox);
    Type(s, "ab:");
    s.push_back(Do([&] {
        EXPECT_EQ(LoginName, "ab_");
        EXPECT_EQ(SfxCursor, sounds + 1) << "the focus sound";
    }));
    Click(s, PasswordBox);
    Type(s, "p/wxyz");
    s.push_back(Do([] { EXPECT_EQ(LoginPassword, "p_wxyz"); }));
    Click(s, LoginButton);
    s.push_back(Do([&] {
        EXPECT_EQ(LoginErrorText(), "USERNAME TOO SHORT");
        EXPECT_EQ(server.Requests().size(), 0u) << "nothing reached the network";
        EXPECT_EQ(LoginFocus, 0) << "the click outside the fields let go of the focus";
    }));
    // Refused.
    Click(s, NameBox);
    Type(s, "cd");
    Click(s, LoginButton);
    s.push_back(Do([&] {
        EXPECT_EQ(LoginName, "ab_cd");
        EXPECT_EQ(LoginErrorText(), "WRONG PASSWORD");
        EXPECT_EQ(server.Count("/enscore/login.php"), 1);
        EXPECT_EQ(LoggedIn, 0);
        server.SetLogin(motd);
    }));
    // Accepted: the message of the day, then the Medium table at once, and the
    // local game goes out once (the table has fewer than 30 entries).
    Click(s, LoginButton);
    s.push_back(Until([] { return LoggedIn == 1 && RefreshState == 0; }));
    s.push_back(Do([&] {
        EXPECT_EQ(MotdCount, 19);
        EXPECT_EQ(MotdLines[19], "News 19");
        EXPECT_EQ(server.Count("GET //enscore/tables/283/1.txt HTTP/1.0"), 1);
        EXPECT_EQ(server.Count("/enscore/scores.php?Week=283&Input="), 1);
        EXPECT_EQ(Entries(1), 2);
    }));
    // Hard: its table comes, nothing is sent, the Medium entries stay.
    Click(s, [] { return DifficultyBox(2); });
    Click(s, RefreshButton);
    s.push_back(Until([] { return CurGameMode == 2 && RefreshState == 0; }));
    s.push_back(Do([&] {
        EXPECT_EQ(server.Count("/enscore/tables/283/2.txt"), 1);
        EXPECT_EQ(server.Count("/enscore/scores.php"), 1) << "no local Hard game";
        EXPECT_EQ(Entries(2), 3);
        EXPECT_EQ(Entries(1), 2);
    }));
    // Medium again: fetched anew (not doubled) and the game sent once more.
    Click(s, [] { return DifficultyBox(1); });
    Click(s, RefreshButton);
    s.push_back(Until([] { return CurGameMode == 1 && RefreshState == 0; }));
    s.push_back(Do([&] {
        EXPECT_EQ(server.Count("/enscore/tables/283/1.txt"), 2);
        EXPECT_EQ(server.Count("/enscore/scores.php"), 2);
        EXPECT_EQ(Entries(1), 2);
        EXPECT_TRUE(HexPayloads(server));
    }));
    RunScript(tree, s);

    const auto scores = ReadLines(tree.Game() / "nuscores.dat");
    ASSERT_FALSE(scores.empty());
    EXPECT_EQ(Unscramble(scores[0], AccountKey), "ab_cd|p_wxyz");
    EXPECT_EQ(scores.size(), 2u) << "online entries are never saved";
    const auto setup = ReadLines(tree.Files() / "Setup.ini");
    ASSERT_GE(setup.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(setup.end() - 4, setup.end()),
              (std::vector<std::string>{"", "[Online]", "Online = True",
                                        "Score Server = " + server.Address()}));
}

TEST(OnlineGame, SwitchedOffThereIsNoTabAndNoConnection) {
    Scratch tree(true);
    const int before = ConnectAttempts();
    std::vector<Step> s;
    s.push_back(Wait(40));
    Hold(s, KeyF2);
    Click(s, OnlineTabBox);
    s.push_back(Do([] {
        EXPECT_FALSE(OnlineTabShown());
        EXPECT_EQ(OnlineEnabled, 0);
    }));
    RunScript(tree, s);
    EXPECT_EQ(ConnectAttempts(), before);
    for (const auto& line : ReadLines(tree.Files() / "Setup.ini"))
        EXPECT_EQ(line.find("Online"), std::string::npos) << line;
}
