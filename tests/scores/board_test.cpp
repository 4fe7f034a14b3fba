// Tests of the score board (pruning, scrolling, hover and selection) and of
// name entry, on the headless back ends with the virtual clock.
#include <gtest/gtest.h>

#include <climits>

#include "draw/draw.h"
#include "scores/board.h"
#include "scores/names.h"
#include "scores/scores.h"
#include "tests/scores/support.h"

using namespace gametest;

namespace {

// The side panel fully slid in at 1280 × 960 with a window of 900 or more.
constexpr int PanelW = 335;
constexpr int PanelP = 1280 - (PanelW + 5);

ScoreRef Game(int64_t score, int64_t stamp, int mode = 1) {
    auto r = std::make_shared<Scores>();
    r->Score = score;
    r->Timestamp = stamp;
    r->GameMode = mode;
    r->Name = "G" + std::to_string(stamp);
    return r;
}

void DrawBoard(bool visible, int mode = 1) {
    DrawScoreBoard(ScoreList, PanelP, PanelW, mode, 0, 0, visible);
}

// 60 games of the Medium table, the newest first (stamp 1000 − n for game n);
// the oldest ten score 1, the others 100 + n. Five old Easy games besides.
void SixtyGames(int topAmongOldest = 0) {
    for (int n = 1; n <= 60; ++n) {
        int64_t score = n > 50 ? 1 : 100 + n;
        if (n > 60 - topAmongOldest) score = 5000;
        ScoreList.push_back(Game(score, 1000 - n));
    }
    for (int n = 1; n <= 5; ++n) ScoreList.push_back(Game(1, 100 - n, 0));
    SortScoreList();
}

int Count(int mode) {
    int c = 0;
    for (const auto& r : ScoreList) c += r->GameMode == mode ? 1 : 0;
    return c;
}

bool HasStamp(int64_t stamp) {
    for (const auto& r : ScoreList)
        if (r->Timestamp == stamp) return true;
    return false;
}

void PointerAt(int x, int y) {
    MouseXNow = x;
    MouseYNow = y;
}

}  // namespace

// ---------------------------------------------------------------------------
// Pruning
// ---------------------------------------------------------------------------
TEST(ScoreBoard, ShowingTheTablePrunesTheOldGamesOutsideItsTop25) {
    Scratch tree;
    StartWithWindow(tree);
    SixtyGames();
    PointerAt(0, 0);

    DrawBoard(false);
    DrawBoard(false, 0);
    EXPECT_EQ(Count(1), 60) << "nothing is pruned while another tab shows";

    DrawBoard(true);
    EXPECT_EQ(Count(1), 50);
    for (int n = 51; n <= 60; ++n) EXPECT_FALSE(HasStamp(1000 - n)) << n;
    for (int n = 1; n <= 50; ++n) EXPECT_TRUE(HasStamp(1000 - n)) << n;
    EXPECT_EQ(Count(0), 5) << "other tables are untouched";
    DrawBoard(true);
    EXPECT_EQ(Count(1), 50);
}

TEST(ScoreBoard, OldGamesInTheTop25AreKept) {
    Scratch tree;
    StartWithWindow(tree);
    SixtyGames(2);  // games 59 and 60 are the two best
    PointerAt(0, 0);
    DrawBoard(true);
    EXPECT_EQ(Count(1), 52);
    EXPECT_TRUE(HasStamp(1000 - 59));
    EXPECT_TRUE(HasStamp(1000 - 60));
    EXPECT_FALSE(HasStamp(1000 - 58));
    ASSERT_TRUE(TopTable[1]);
    EXPECT_EQ(TopTable[1]->Score, 5000);
}

TEST(ScoreBoard, TableBestIsTheTopRowOfTheLocalTableOnShow) {
    Scratch tree;
    StartWithWindow(tree);
    ScoreList.push_back(Game(30, 3));
    ScoreList.push_back(Game(70, 2));
    ScoreList.push_back(Game(99, 1, 2));
    SortScoreList();
    DrawBoard(false);
    ASSERT_TRUE(TableBest);
    EXPECT_EQ(TableBest->Score, 70);
    DrawBoard(false, 0);
    EXPECT_FALSE(TableBest) << "an empty table has no best";
    DrawBoard(true, 2);
    ASSERT_TRUE(TableBest);
    DrawBoard(false, -2);  // an online table leaves the local best alone
    ASSERT_TRUE(TableBest);
    EXPECT_EQ(TableBest->Score, 99);
}

// ---------------------------------------------------------------------------
// Browsing
// ---------------------------------------------------------------------------
TEST(ScoreBoard, RestingOnAScrollZoneScrollsEightPerFrameWithinLimits) {
    Scratch tree;
    StartWithWindow(tree);
    const int graphY = 960 - 10 - 75;
    PointerAt(1280 - (PanelW + 32) + 10, graphY);
    DrawBoard(true);
    EXPECT_EQ(GraphScroll, 8);
    for (int i = 0; i < 200; ++i) DrawBoard(true);
    EXPECT_EQ(GraphScroll, 1000);
    PointerAt(1280 - 20, graphY);
    DrawBoard(true);
    EXPECT_EQ(GraphScroll, 992);
    for (int i = 0; i < 200; ++i) DrawBoard(true);
    EXPECT_EQ(GraphScroll, 0);
    DrawBoard(false);
    EXPECT_EQ(GraphScroll, 0);
}

TEST(ScoreBoard, PointingAndClickingChoosesWhatTheDetailBoxShows) {
    Scratch tree;
    StartWithWindow(tree);
    for (int n = 1; n <= 5; ++n) ScoreList.push_back(Game(10 * n, 100 - n));
    SortScoreList();
    const int rowTop = 950 - (17 * 25 + 154);

    // Row 2 of the table is the second-best game (score 40, game 4).
    PointerAt(PanelP + 20, rowTop + 17 + 5);
    DrawBoard(true);
    ASSERT_TRUE(BoardHover);
    EXPECT_EQ(BoardHover->Score, 40);
    EXPECT_EQ(BoardSelection, 0) << "hover alone does not choose";

    HeadlessMouseButton(1, true);
    DrawBoard(true);
    EXPECT_EQ(BoardSelection, 1002);
    HeadlessMouseButton(1, false);

    PointerAt(10, 10);
    DrawBoard(true);
    ASSERT_TRUE(BoardHover) << "the chosen row stays in the detail box";
    EXPECT_EQ(BoardHover->Score, 40);

    // The third point of the graph from the right is the third newest game.
    PointerAt(1280 - 24 - 2 * 18, 950 - 50);
    HeadlessMouseButton(1, true);
    DrawBoard(true);
    HeadlessMouseButton(1, false);
    EXPECT_EQ(BoardSelection, 3);
    ASSERT_TRUE(BoardHover);
    EXPECT_EQ(BoardHover->Timestamp, 97);

    DrawBoard(false);
    PointerAt(10, 10);
    DrawBoard(true);
    EXPECT_EQ(BoardHover->Timestamp, 97);
}

TEST(ScoreBoard, EmptyTableDrawsNoDetailBox) {
    Scratch tree;
    StartWithWindow(tree);
    PointerAt(PanelP + 20, 950 - (17 * 25 + 154) + 5);
    DrawBoard(true);
    EXPECT_FALSE(BoardHover);
    for (int k = 1; k <= 25; ++k) EXPECT_FALSE(TopTable[k]);
}

// A damaged score file: extreme scores and stamps load, sort and draw, and
// every graph point stays within the graph's 150 pixels.
TEST(ScoreBoard, ExtremeValuesFromADamagedFileStayOnTheGraph) {
    struct Case {
        int64_t score, best;
        int height;
    };
    const Case cases[] = {
        {0, 1, 0},           {75, 150, 75},        {2147483647, 2147483647, 150},
        {-5, 1, 0},          {INT64_MIN, 1, 0},    {INT64_MAX, INT64_MAX, 150},
        {1, INT64_MAX, 0},   {INT64_MAX, 1, 150},  {10, 0, 150},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BoardGraphHeight(c.score, c.best), c.height) << c.score << " / " << c.best;

    Scratch tree;
    StartWithWindow(tree);
    std::string file = Scramble("|", AccountKey) + "\r\n";
    const char* const records[] = {"9223372036854775807|Max|2147483647|9223372036854775807",
                                   "-9223372036854775808|Min|1|-9223372036854775808",
                                   "2147483648|Big|0|99999999999999999999999999",
                                   "-1|Neg|0|-1"};
    for (const char* r : records)
        file += Scramble(std::string(r) + "|0|1|0|0" + RecordSeparator + "1", "") + "\r\n";
    WriteText(tree.Game() / "nuscores.dat", file);
    LoadScores();
    ASSERT_EQ(ScoreList.size(), 4u);
    for (int x = PanelP; x < 1280; x += 9) {
        PointerAt(x, 950 - 75);
        DrawBoard(true);
        if (BoardHover) DrawBoard(true);  // the detail box with its date and badges
    }
    EXPECT_EQ(TopTable[1]->Name, "Max");
}

// A row never shows a damaged file's score as digits that read like a game.
TEST(ScoreBoard, RowScoresOutsideTheGamesRangeAreClampedOrSigned) {
    const std::pair<int64_t, const char*> cases[] = {
        {0, "000000000000"}, {10, "000000000010"}, {999999999999, "999999999999"},
        {1000000000000, "999999999999"}, {INT64_MAX, "999999999999"}, {-1, "-00000000001"},
        {-99999999999, "-99999999999"}, {INT64_MIN, "-99999999999"}};
    for (const auto& [score, text] : cases) EXPECT_EQ(BoardRowScore(score), text) << score;
}

// ---------------------------------------------------------------------------
// Name entry
// ---------------------------------------------------------------------------
namespace {

// Runs EnterName with `script` called at every shown frame; returns the
// number of frames the screen showed.
int RunNameEntry(std::function<void(int)> script) {
    const int before = HeadlessFlipCount();
    HeadlessOnFlip(std::move(script));
    EnterName();
    HeadlessOnFlip(nullptr);
    return HeadlessFlipCount() - before;
}

}  // namespace

TEST(NameEntry, TakesOneTypedCharacterPerFrameAndKeepsSeparatorsOut) {
    Scratch tree;
    StartWithWindow(tree);
    PlayerName = "Ann";
    std::vector<std::string> seen;
    const int frames = RunNameEntry([&](int frame) {
        seen.push_back(PlayerName);
        if (seen.size() == 1) {
            for (int c : {int{'x'}, int{'|'}, 167, int{'y'}, 7}) HeadlessChar(c);
        }
        if (seen.size() == 8) HeadlessTap(8);
        if (seen.size() == 10) HeadlessTap(13);
    });
    EXPECT_EQ(PlayerName, "Annx");
    ASSERT_GE(seen.size(), 5u);
    EXPECT_EQ(seen[1], "Annx") << "one character per frame";
    EXPECT_EQ(seen[4], "Annxy");
    EXPECT_EQ(frames, 11);
}

TEST(NameEntry, BackspaceEmptiesAOneCharacterNameAndEmptyIsAccepted) {
    Scratch tree;
    StartWithWindow(tree);
    PlayerName = "Q";
    int shown = 0;
    RunNameEntry([&](int) {
        ++shown;
        if (shown == 2) HeadlessTap(8);
        if (shown == 3) HeadlessTap(8);  // nothing left to remove
        if (shown == 5) HeadlessTap(13);
    });
    EXPECT_EQ(PlayerName, "");
}

TEST(NameEntry, AHeldConfirmFromTheGameMustBeReleasedFirst) {
    Scratch tree;
    StartWithWindow(tree);
    PlayerName = "Kept";
    HeadlessKey(13, true);
    HeadlessMouseButton(1, true);
    const uint32_t start = MilliSecs();
    int shown = 0;
    HeadlessOnDelay([&](uint32_t now) {
        if (now - start >= 300) {
            HeadlessKey(13, false);
            HeadlessMouseButton(1, false);
        }
        if (shown >= 4) HeadlessKey(27, false);
    });
    const int frames = RunNameEntry([&](int) {
        if (++shown == 4) HeadlessKey(27, true);  // Escape confirms too
    });
    HeadlessOnDelay(nullptr);
    EXPECT_EQ(frames, 5) << "the screen stayed until the new confirm (seen a frame later)";
    EXPECT_EQ(PlayerName, "Kept");
    EXPECT_GE(MilliSecs() - start, 300u);
}
