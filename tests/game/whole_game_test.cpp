// Whole-game tests: the real program (start-up, title, round, name entry,
// closing screen) on the headless back ends with the generated asset tree,
// driven by a scripted mouse and keyboard on the virtual clock; then the
// files it wrote are read back, and a second run must show the same game.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "app/app.h"
#include "app/title.h"
#include "draw/draw.h"
#include "framework/game_info.h"
#include "framework/graphics.h"
#include "framework/notices.h"
#include "framework/setup.h"
#include "game/effects.h"
#include "game/round.h"
#include "scores/board.h"
#include "scores/scores.h"
#include "tests/scores/support.h"

using namespace gametest;

namespace {

constexpr int KeyEsc = 27, KeyReturn = 13, KeyBackspace = 8, KeySpace = 32;
constexpr int FollowFrames = 1200;  // then the bar stands still and balls drop
constexpr int FrameGuard = 60000;   // a run that gets lost ends through a close request

// Which screen a shown frame belongs to, told from the globals.
enum class Screen { Loading, Title, Round, NameEntry, Closing };

struct GameRun {
    // Script hooks: called on each frame of that screen with its frame number.
    std::function<void(int)> onTitle, onRound, onNameEntry;
    bool escapeSent = false;

    // What happened.
    bool ended = false, lost = false;
    int exitCode = -1;
    int roundFrames = 0;
    int scoreAtGameOver = -1;
    bool sparksSeen = false;

    int titleFrames = 0, entryFrames = 0, lastTitleCount = -1;
    bool inRoundOrEntry = false, closing = false;
    int closingDelays = 0;
};

// The x of the lowest ball that is falling and still above the bar, or -1.
int LowestFallingBall() {
    float bestY = -1e9f;
    int x = -1;
    for (const Ball& b : BallList) {
        if (b.ys > 0 && b.y < ScreenHeight - 20 && b.x > 0 && b.x < ScreenWidth && b.y > bestY) {
            bestY = b.y;
            x = static_cast<int>(b.x);
        }
    }
    return x;
}

Screen Classify(GameRun& run) {
    if (TitleFramesShown == 0 && PlayState == 0 && !run.inRoundOrEntry) return Screen::Loading;
    if (PlayState != 0) {
        run.inRoundOrEntry = true;
        return Screen::Round;
    }
    if (TitleFramesShown != run.lastTitleCount) {
        run.lastTitleCount = TitleFramesShown;
        run.inRoundOrEntry = false;
        return Screen::Title;
    }
    if (run.inRoundOrEntry) return Screen::NameEntry;
    return run.escapeSent ? Screen::Closing : Screen::Title;
}

// Runs Main() from the tree's root with the run's script.
void Play(const Scratch& tree, GameRun& run) {
    PrepareProgramRun(tree);
    HeadlessOnFlip([&](int frame) {
        if (frame > FrameGuard && !run.lost) {
            run.lost = true;
            HeadlessCloseRequest();
            return;
        }
        switch (Classify(run)) {
        case Screen::Loading:
            break;
        case Screen::Title:
            if (run.onTitle) run.onTitle(++run.titleFrames);
            break;
        case Screen::Round:
            ++run.roundFrames;
            if (!ParticleList.empty()) run.sparksSeen = true;
            run.scoreAtGameOver = CurScore;
            if (run.onRound) run.onRound(run.roundFrames);
            break;
        case Screen::NameEntry:
            run.titleFrames = 0;
            if (run.onNameEntry) run.onNameEntry(++run.entryFrames);
            break;
        case Screen::Closing:
            run.closing = true;
            break;
        }
    });
    // The closing screen only waits, it shows no more frames: Escape is let
    // go there, and a little later Space ends the program.
    HeadlessOnDelay([&](uint32_t) {
        if (!run.closing) return;
        if (KeyDown(KeyEsc)) HeadlessKey(KeyEsc, false);
        if (++run.closingDelays == 20) HeadlessKey(KeySpace, true);
    });
    try {
        Main();
    } catch (const ProgramEnded& end) {
        run.ended = true;
        run.exitCode = end.code;
    }
    HeadlessOnFlip(nullptr);
    HeadlessOnDelay(nullptr);
    HeadlessKey(KeySpace, false);
    CloseLog();
    fs::current_path(tree.Root());
}

void SendEscape(GameRun& run) {
    HeadlessKey(KeyEsc, true);
    run.escapeSent = true;
}

// Title frame actions shared by both runs: on frame 40 press on the start
// box, on 41 let go (the round starts on 42).
void ClickStart(int frame) {
    if (frame == 40) {
        PointAt((ScreenWidth - (WindowWidth < 900 ? 415 : 335)) / 2, ScreenHeight / 2);
        HeadlessMouseButton(1, true);
    }
    if (frame == 41) HeadlessMouseButton(1, false);
}

// Name entry script: Backspace once per frame until the offered name is
// gone, then `name` typed (taken one character per frame), then Return.
std::function<void(int)> TypeName(const std::string& name) {
    struct State {
        int erase = 0;
        bool typed = false, entered = false;
    };
    auto st = std::make_shared<State>();
    return [=](int frame) {
        if (frame == 1) st->erase = static_cast<int>(PlayerName.size());
        if (st->erase > 0) {
            HeadlessTap(KeyBackspace);
            --st->erase;
        } else if (!st->typed) {
            for (char c : name) HeadlessChar(static_cast<unsigned char>(c));
            st->typed = true;
        } else if (!st->entered && PlayerName == name) {
            HeadlessTap(KeyReturn);
            st->entered = true;
        }
    };
}

// One dropped game, scripted at name entry and on the title after it.
GameRun DropOneGame(const Scratch& tree, std::function<void(int)> onNameEntry,
                    std::function<void(int)> onTitleAgain = [](int) {}) {
    GameRun run;
    run.onTitle = [&run, onTitleAgain](int frame) {
        if (run.roundFrames == 0) return ClickStart(frame);
        onTitleAgain(frame);
        if (frame == 40 && !run.escapeSent) SendEscape(run);
    };
    run.onRound = [](int) { PointAt(5, ScreenHeight - 100); };
    run.onNameEntry = std::move(onNameEntry);
    Play(tree, run);
    return run;
}

std::vector<std::string> FiledNames(const Scratch& tree) {
    std::vector<std::string> names;
    const auto lines = ReadLines(tree.Game() / "nuscores.dat");
    BuildDefaultKey();
    for (size_t i = 1; i < lines.size(); ++i)
        if (const ScoreRef r = ParseRecord(Unscramble(lines[i]))) names.push_back(r->Name);
    return names;
}

}  // namespace

TEST(WholeGame, PlayAGameFileItAndFindItAgainAfterARestart) {
    Scratch tree(true);
    ASSERT_TRUE(fs::exists(tree.Game() / "098.wav")) << "the asset tree was copied";

    // First run: start, juggle, drop, type a name, look at the board, leave.
    GameRun first;
    bool boardChecked = false;
    std::string boardName;
    int64_t boardScore = -1;
    first.onTitle = [&](int frame) {
        if (first.roundFrames == 0) {
            ClickStart(frame);
            return;
        }
        if (frame == 40 && !first.escapeSent) {
            boardChecked = true;
            if (TopTable[1]) {
                boardName = TopTable[1]->Name;
                boardScore = TopTable[1]->Score;
            }
            SendEscape(first);
        }
    };
    first.onRound = [&](int frame) {
        if (frame > FollowFrames) {
            PointAt(ScreenWidth / 2, ScreenHeight - 100);
            return;
        }
        const int x = LowestFallingBall();
        if (x >= 0) PointAt(x, ScreenHeight - 100);
    };
    first.onNameEntry = TypeName("Tester");
    Play(tree, first);

    std::printf("first round: %d frames, score %d\n", first.roundFrames, first.scoreAtGameOver);
    ASSERT_TRUE(first.ended);
    EXPECT_FALSE(first.lost);
    EXPECT_EQ(first.exitCode, 0);
    EXPECT_GT(first.roundFrames, 60);
    EXPECT_TRUE(first.sparksSeen) << "the following bar caught balls";
    EXPECT_GT(first.scoreAtGameOver, 0);
    ASSERT_TRUE(boardChecked);
    EXPECT_EQ(boardName, "Tester");
    EXPECT_EQ(boardScore, first.scoreAtGameOver);

    // The files it left.
    const auto scoreLines = ReadLines(tree.Game() / "nuscores.dat");
    ASSERT_EQ(scoreLines.size(), 2u);
    BuildDefaultKey();
    EXPECT_EQ(Unscramble(scoreLines[0], AccountKey), "|");
    const ScoreRef filed = ParseRecord(Unscramble(scoreLines[1]));
    ASSERT_TRUE(filed);
    EXPECT_EQ(filed->Name, "Tester");
    EXPECT_EQ(filed->Score, first.scoreAtGameOver);
    EXPECT_EQ(filed->GameMode, 1);
    EXPECT_EQ(filed->Quit, 0);

    const auto setup = ReadLines(tree.Files() / "Setup.ini");
    ASSERT_FALSE(setup.empty());
    EXPECT_EQ(setup[0], "[Graphics]");
    EXPECT_NE(std::find(setup.begin(), setup.end(), "Width=800"), setup.end());

    const auto log = ReadLines(tree.Files() / "Debug.txt");
    ASSERT_GE(log.size(), 5u);
    const std::vector<std::string> tail(log.end() - 5, log.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"Closing Up", "", "Bye!", "", "Play again, soon!!"}));
    EXPECT_EQ(std::count(log.begin(), log.end(), "Closing Up"), 1);

    // Second run: the board shows the same game, name entry offers its name.
    GameRun second;
    std::string secondBoardName, offered;
    int64_t secondBoardStamp = -1;
    second.onTitle = [&](int frame) {
        if (second.roundFrames == 0) {
            if (frame == 30 && TopTable[1]) {
                secondBoardName = TopTable[1]->Name;
                secondBoardStamp = TopTable[1]->Timestamp;
            }
            ClickStart(frame);
            return;
        }
        if (frame == 40 && !second.escapeSent) SendEscape(second);
    };
    second.onRound = [&](int) { PointAt(5, ScreenHeight - 100); };
    second.onNameEntry = [&](int frame) {
        if (frame == 1) {
            offered = PlayerName;
            HeadlessTap(KeyReturn);
        }
    };
    Play(tree, second);

    ASSERT_TRUE(second.ended);
    EXPECT_FALSE(second.lost);
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(secondBoardName, "Tester");
    EXPECT_EQ(secondBoardStamp, filed->Timestamp);
    EXPECT_EQ(offered, "Tester");
    const auto after = ReadLines(tree.Game() / "nuscores.dat");
    ASSERT_EQ(after.size(), 3u);
    for (size_t i = 1; i < after.size(); ++i) {
        const ScoreRef r = ParseRecord(Unscramble(after[i]));
        ASSERT_TRUE(r);
        EXPECT_EQ(r->Name, "Tester");
    }
}

// SIGTERM while the name is typed files the game with the name as it stands
// (the offered "Player" when nothing was typed), saves it and ends with 0.
TEST(WholeGame, TheSessionEndingAtNameEntryFilesTheGameFirst) {
    for (const std::string typed : {"", "Zo"}) {
        Scratch tree(true);
        const GameRun run = DropOneGame(tree, [&](int frame) {
            if (frame == 1) for (char c : typed) HeadlessChar(c);
            if (frame == 5) HeadlessTerminationSignal();
        });
        EXPECT_TRUE(run.ended && run.exitCode == 0) << typed;
        EXPECT_EQ(FiledNames(tree), std::vector<std::string>{"Player" + typed});
    }
}

// The game is on disk when the title shows it; a full disk is told there.
TEST(WholeGame, TheNewGameIsSavedWhenFiledAndAFailureToldOnTheTitle) {
    for (const bool full : {true, false}) {
        Scratch tree(true);
        if (full) fs::create_symlink("/dev/full", tree.Game() / "nuscores.dat.new");
        bool told = false;
        size_t onDisk = 9;  // records in the file
        DropOneGame(tree, [](int frame) { if (frame == 2) HeadlessTap(KeyReturn); }, [&](int frame) {
            if (frame != 1) return;
            onDisk = FiledNames(tree).size();
            for (const Announcement& a : AnnouncementList) told |= a.txt == "Could not save your scores";
        });
        EXPECT_EQ(told, full);
        EXPECT_EQ(onDisk, full ? 0u : 1u);
    }
}
