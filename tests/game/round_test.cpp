// Tests of the juggling round on the headless back ends: launch timing, the
// catch window, combos and their sparks, wall bonuses, drops and lives, and
// a round left through the pause menu.
#include <gtest/gtest.h>

#include <cmath>

#include "draw/draw.h"
#include "draw/strings.h"
#include "framework/game_info.h"
#include "game/effects.h"
#include "game/round.h"
#include "scores/scores.h"
#include "tests/scores/support.h"

using namespace gametest;

namespace {

constexpr int W = 1280, H = 960;

// A round on the chosen difficulty with a seeded generator and an open window.
RoundState Begin(const Scratch& tree, int mode) {
    StartWithWindow(tree);
    SeedRnd(12345);
    CurGameMode = mode;
    return StartRound();
}

// One ball in the list, placed so that after this frame's move it sits at
// (x, y): no speed left after gravity.
Ball& PlaceBall(float x, float y, float xs = 0) {
    BallList.clear();
    Ball b;
    b.x = x - xs;
    b.y = y;
    b.xs = xs;
    b.ys = -0.25f;  // gravity brings it to 0 before the move
    b.r = b.g = b.b = 150;
    b.s = 3;
    BallList.push_back(b);
    return BallList.back();
}

int Particles(int kind) {
    int n = 0;
    for (const auto& p : ParticleList) n += p.t == kind ? 1 : 0;
    return n;
}

}  // namespace

// ---------------------------------------------------------------------------
// Launches
// ---------------------------------------------------------------------------
TEST(RoundLaunch, FirstBallOnThe61stFrameThenTheIntervalShrinksTo30) {
    for (int mode : {0, 1, 2}) {
        Scratch tree;
        RoundState round = Begin(tree, mode);
        for (int frame = 1; frame <= 60; ++frame) {
            RoundLaunch(round);
            ASSERT_TRUE(BallList.empty()) << "frame " << frame;
        }
        RoundLaunch(round);
        ASSERT_EQ(BallList.size(), 1u);
        EXPECT_TRUE(round.launched);

        // Gaps between launches: interval + 1 frames, the interval starting at
        // 180 and shrinking by mode + 2 at each launch down to 30.
        int expectedInterval = 180;
        for (int launch = 2; launch <= 80; ++launch) {
            const size_t before = BallList.size();
            int frames = 0;
            while (BallList.size() == before) {
                RoundLaunch(round);
                ++frames;
                ASSERT_LT(frames, 1000);
            }
            EXPECT_EQ(frames, expectedInterval + 1) << "mode " << mode << " launch " << launch;
            expectedInterval = std::max(30, expectedInterval - (mode + 2));
        }
        EXPECT_EQ(round.interval, 30);
    }
}

TEST(RoundLaunch, BallsComeFromOutsideTheSidesTowardTheScreen) {
    Scratch tree;
    RoundState round = Begin(tree, 1);
    round.countdown = 0;
    for (int i = 0; i < 300; ++i) {
        round.countdown = -5;
        RoundLaunch(round);
    }
    ASSERT_EQ(BallList.size(), 300u);
    for (const Ball& b : BallList) {
        EXPECT_TRUE(b.x < 0 || b.x > W);
        EXPECT_GE(b.x, -32);
        EXPECT_LE(b.x, W + 32);
        EXPECT_GE(b.y, -32);
        EXPECT_LE(b.y, H / 2);
        if (b.x < 0) {
            EXPECT_TRUE(b.xs >= 4 && b.xs <= 8) << b.xs;
        } else {
            EXPECT_TRUE(b.xs <= -4 && b.xs >= -8) << b.xs;
        }
        if (b.y > 200) {
            EXPECT_TRUE(b.ys >= -12 && b.ys <= 2) << b.ys;
        } else {
            EXPECT_TRUE(b.ys >= -8 && b.ys <= 4) << b.ys;
        }
        for (int c : {b.r, b.g, b.b}) EXPECT_TRUE(c == 100 || c == 150 || c == 200 || c == 250) << c;
        EXPECT_TRUE(b.s >= 2 && b.s <= 16);
        EXPECT_EQ(b.f, 0);
    }
}

TEST(RoundLaunch, AnEmptiedScreenIsRefilledOnlyAfterTheFirstLaunch) {
    Scratch tree;
    RoundState round = Begin(tree, 0);
    RoundLaunch(round);
    EXPECT_TRUE(BallList.empty()) << "no refill before anything was launched";
    round.countdown = 0;
    RoundLaunch(round);
    ASSERT_EQ(BallList.size(), 1u);
    BallList.clear();
    RoundLaunch(round);
    EXPECT_EQ(BallList.size(), 1u) << "refilled at once";
    EXPECT_EQ(round.countdown, 178);
}

TEST(RoundStart, DifficultySetsLivesAndBar) {
    Scratch tree;
    StartWithWindow(tree);
    CurScore = 77;
    CurBest[5] = 3;
    BallList.push_back(Ball{});
    ParticleList.push_back(Particle{});
    const struct { int mode, lives, half; } table[] = {{0, 9, 128}, {1, 5, 96}, {2, 3, 48}, {7, 9, 128}};
    for (const auto& row : table) {
        CurGameMode = row.mode;
        const RoundState r = StartRound();
        EXPECT_EQ(r.lives, row.lives) << row.mode;
        EXPECT_EQ(r.halfWidth, row.half) << row.mode;
    }
    EXPECT_EQ(CurScore, 0);
    EXPECT_EQ(CurBest[5], 0);
    EXPECT_TRUE(BallList.empty());
    EXPECT_TRUE(ParticleList.empty());
}

// ---------------------------------------------------------------------------
// Catches
// ---------------------------------------------------------------------------
TEST(RoundCatch, ExactlyInsideAndOutsideTheWindow) {
    Scratch tree;
    RoundState round = Begin(tree, 1);  // half-width 96: reach 110
    MouseXNow = 600;
    struct Case { float x, y; bool caught; };
    const Case cases[] = {
        {600, H - 20 - 23.9f, true},  {600, H - 20 - 24.0f, false},
        {600, H - 20 + 23.9f, true},  {600, H - 20 + 24.0f, false},
        {600 + 109.9f, H - 20, true}, {600 + 110.0f, H - 20, false},
        {600 - 109.9f, H - 20, true}, {600 - 110.0f, H - 20, false},
    };
    for (const Case& c : cases) {
        round.combo = 0;
        CurScore = 0;
        PlaceBall(c.x, c.y);
        RoundBalls(round);
        ASSERT_EQ(BallList.size(), 1u);
        const Ball& b = BallList.front();
        EXPECT_EQ(round.combo, c.caught ? 1 : 0) << c.x << "," << c.y;
        if (c.caught) {
            EXPECT_EQ(b.y, H - 44);
            EXPECT_TRUE(b.ys >= -18 && b.ys <= -12) << b.ys;
            EXPECT_EQ(CurScore, 1);
        } else {
            EXPECT_EQ(b.y, c.y);
        }
    }
}

TEST(RoundCatch, CombosScoreTheirCountAndEmitAsManySparks) {
    Scratch tree;
    RoundState round = Begin(tree, 0);
    MouseXNow = 640;
    int expectedScore = 0;
    for (int n = 1; n <= 6; ++n) {
        const size_t before = ParticleList.size();
        PlaceBall(640, H - 30, n % 2 ? 5.0f : 1.0f);
        RoundBalls(round);
        EXPECT_EQ(round.combo, n);
        expectedScore += n;
        EXPECT_EQ(CurScore, expectedScore);
        EXPECT_EQ(ParticleList.size() - before, static_cast<size_t>(n));
        EXPECT_EQ(Particles(1), static_cast<int>(ParticleList.size()));
        // A fast sideways ball is slowed by a fifth; a slow one keeps its speed.
        EXPECT_FLOAT_EQ(BallList.front().xs, n % 2 ? 4.0f : 1.0f);
    }
    // A drop resets the combo but keeps the points.
    PlaceBall(100, H + 70);
    RoundBalls(round);
    EXPECT_TRUE(BallList.empty());
    EXPECT_EQ(round.combo, 0);
    EXPECT_EQ(round.lives, 8);
    EXPECT_EQ(CurScore, expectedScore);
}

// ---------------------------------------------------------------------------
// Walls, drops and lives
// ---------------------------------------------------------------------------
TEST(RoundWall, BonusOnlyOutwardAndOnlyOnce) {
    Scratch tree;
    RoundState round = Begin(tree, 1);
    MouseXNow = 640;

    // Coming in from the left: no bonus.
    PlaceBall(2, 300, 6);
    RoundBalls(round);
    EXPECT_EQ(round.combo, 0);
    EXPECT_EQ(BallList.front().f, 0);

    // Going out on the left: a bonus worth the combo, with as many wall sparks.
    round.combo = 2;
    CurScore = 0;
    PlaceBall(3, 300, -6);
    RoundBalls(round);
    EXPECT_EQ(round.combo, 3);
    EXPECT_EQ(CurScore, 3);
    EXPECT_EQ(BallList.front().f, 1);
    EXPECT_EQ(Particles(2), 3);
    for (const auto& p : ParticleList) EXPECT_GE(p.xs, 4) << "left-wall sparks fly back in";

    // Still beyond the wall next frame: nothing more.
    BallList.front().ys = -0.25f;
    RoundBalls(round);
    EXPECT_EQ(round.combo, 3);
    EXPECT_EQ(Particles(2), 3);

    // It no longer costs a life when it falls out of the bottom.
    BallList.front().y = H + 100;
    RoundBalls(round);
    EXPECT_EQ(round.lives, 5);

    // The right wall works the same way.
    ParticleList.clear();
    PlaceBall(W - 3, 300, 6);
    RoundBalls(round);
    EXPECT_EQ(round.combo, 4);
    EXPECT_EQ(Particles(2), 4);
    for (const auto& p : ParticleList) EXPECT_LE(p.xs, -4);
    PlaceBall(W - 2, 300, -6);
    BallList.front().f = 0;
    RoundBalls(round);
    EXPECT_EQ(round.combo, 4) << "moving in from the right: no bonus";

    // Far outside, a ball is removed without penalty.
    PlaceBall(-65, 300, -6);
    RoundBalls(round);
    EXPECT_TRUE(BallList.empty());
    EXPECT_EQ(round.lives, 5);
}

TEST(RoundLives, TheLastDropEndsTheRoundAndLivesNeverShowBelowZero) {
    Scratch tree;
    RoundState round = Begin(tree, 2);
    MouseXNow = 640;
    round.lives = 0;
    BallList.clear();
    Ball falling;
    falling.x = 300;
    falling.y = H + 70;
    BallList.push_back(falling);
    Ball catchable;  // after the fatal drop in the same frame: not caught
    catchable.x = 640;
    catchable.y = H - 20;
    catchable.ys = -0.25f;
    BallList.push_back(catchable);
    RoundBalls(round);
    EXPECT_EQ(round.lives, 0);
    EXPECT_EQ(round.endCode, 1);
    EXPECT_EQ(round.combo, 0);
    ASSERT_EQ(BallList.size(), 1u);
    EXPECT_EQ(BallList.front().y, H - 20) << "not thrown up again";
    RoundHud(round);
    EXPECT_EQ(round.lives, 0);
}

TEST(RoundHud, ShownScoreEasesTowardTheScore) {
    Scratch tree;
    RoundState round = Begin(tree, 1);
    CurScore = 600;
    RoundHud(round);
    EXPECT_FLOAT_EQ(round.shownScore, 100);
    RoundHud(round);
    EXPECT_NEAR(round.shownScore, 100 + 500.0 / 6, 1e-3);
    for (int i = 0; i < 60; ++i) RoundHud(round);
    EXPECT_EQ(round.shownScore, 600) << "snaps once within 2";
}

// ---------------------------------------------------------------------------
// A whole round through PlayRound
// ---------------------------------------------------------------------------
TEST(PlayRound, QuitFromThePauseMenuFilesTheGameWithQuitSet) {
    Scratch tree;
    StartWithWindow(tree);
    SeedRnd(99);
    CurGameMode = 0;
    PlayerName = "Quitter";
    PlayState = 1;
    PointAt(640, 900);

    // Escape opens the pause menu (and is released while the menu waits for
    // that); Down picks "Quit", Space confirms; then Return confirms the name.
    int frame = 0;
    bool sawBall = false, escapePressed = false, entryStarted = false;
    int scoreAtQuit = -1;
    const int64_t stampBefore = DateStamp("");
    HeadlessOnFlip([&](int) {
        ++frame;
        if (!BallList.empty()) sawBall = true;
        switch (frame) {
        case 100: CurScore = 42; HeadlessKey(27, true); escapePressed = true; break;
        case 106: HeadlessKey(40, true); break;
        case 108: HeadlessKey(40, false); break;
        case 110: HeadlessKey(32, true); scoreAtQuit = CurScore; break;
        case 112: HeadlessKey(32, false); break;
        default: break;
        }
        if (frame > 110 && PlayState == 0 && !entryStarted) {
            entryStarted = true;
            HeadlessKey(13, true);
        }
    });
    HeadlessOnDelay([&](uint32_t) {
        if (escapePressed && KeyDown(27)) HeadlessKey(27, false);
        if (entryStarted && KeyDown(13)) HeadlessKey(13, false);
    });
    PlayRound();
    HeadlessOnFlip(nullptr);
    HeadlessOnDelay(nullptr);
    const int64_t stampAfter = DateStamp("");

    EXPECT_TRUE(sawBall);
    EXPECT_EQ(PlayState, 0);
    ASSERT_EQ(ScoreList.size(), 1u);
    const Scores& r = *ScoreList.front();
    EXPECT_EQ(r.Quit, 1);
    EXPECT_EQ(r.Score, 42);
    EXPECT_EQ(scoreAtQuit, 42);
    EXPECT_EQ(r.Name, "Quitter");
    EXPECT_EQ(r.GameMode, 0);
    EXPECT_GE(r.Timestamp, stampBefore);
    EXPECT_LE(r.Timestamp, stampAfter);
    EXPECT_TRUE(entryStarted);
}

TEST(PlayRound, LosingEveryLifeShowsGameOverThenPausesBeforeNameEntry) {
    Scratch tree;
    StartWithWindow(tree);
    SeedRnd(7);
    CurGameMode = 2;  // three lives
    PlayState = 1;
    PointAt(20, 900);  // the bar far left: most balls drop

    uint32_t gameOverAt = 0, entryAt = 0;
    bool yellowSeen = false;
    int lastScoreShown = 0;
    HeadlessOnFlip([&](int) {
        if (PlayState == 1) lastScoreShown = CurScore;
        if (PlayState == 1 && gameOverAt == 0) {
            // The "Game Over" picture: yellow in the middle of the window.
            const Pixmap frame = HeadlessFrame();
            for (int dx = -60; dx <= 60 && !yellowSeen; ++dx) {
                for (int dy = -20; dy <= 20; ++dy) {
                    const uint32_t p = ReadPixel(frame, 400 + dx, 300 + dy) & 0xFFFFFF;
                    if (p == 0xFFFF00) {
                        yellowSeen = true;
                        gameOverAt = MilliSecs();
                        break;
                    }
                }
            }
        }
        if (PlayState == 0 && entryAt == 0) {
            entryAt = MilliSecs();
            HeadlessTap(13);
        }
    });
    PlayRound();
    HeadlessOnFlip(nullptr);

    ASSERT_TRUE(yellowSeen);
    ASSERT_NE(entryAt, 0u);
    EXPECT_GE(entryAt - gameOverAt, 1500u);
    ASSERT_EQ(ScoreList.size(), 1u);
    EXPECT_EQ(ScoreList.front()->Quit, 0);
    EXPECT_EQ(ScoreList.front()->GameMode, 2);
    EXPECT_EQ(ScoreList.front()->Score, lastScoreShown);
}
