// round.cpp — the juggling round.
//
// One logic step per frame, no delta time: every speed below is in virtual
// pixels per frame. The only input is the pointer's x position.
#include "game/round.h"

#include <algorithm>
#include <cmath>

#include "draw/draw.h"
#include "draw/strings.h"
#include "framework/closing.h"
#include "framework/frame.h"
#include "framework/game_info.h"
#include "framework/graphics.h"
#include "framework/sound.h"
#include "game/effects.h"
#include "platform/platform.h"
#include "scores/names.h"
#include "scores/scores.h"

std::list<Ball> BallList;

namespace {

// The bar sits 20..36 pixels above the bottom edge (its rectangle spans
// H − 32 .. H − 16); a ball is caught while its centre is within 24 of H − 20.
constexpr float CatchReach = 24.0f;
constexpr float CatchLine = 20.0f;   // above the bottom edge
constexpr float CatchExtra = 14.0f;  // added to the half-width: the ball's own reach
constexpr float Gravity = 0.25f;     // pixels per frame per frame
constexpr int MinInterval = 30;      // frames between launches, at the fastest

void LaunchBall() {
    const int W = ScreenWidth;
    const int H = ScreenHeight;
    Ball ball;
    // Just outside a side edge, in the upper half or slightly above the screen.
    do {
        ball.x = static_cast<float>(Rnd(-32, W + 32));
        ball.y = static_cast<float>(Rnd(-32, H / 2));
    } while (!(ball.x < 0 || ball.x > W));
    ball.xs = static_cast<float>(Rnd(4, 8));
    if (ball.x > W) ball.xs = -ball.xs;
    ball.ys = static_cast<float>(Rnd(-8, 4));
    if (ball.y > 200) ball.ys = static_cast<float>(Rnd(-12, 2));  // lower balls are thrown up harder
    ball.r = Rand(2, 5) * 50;
    ball.g = Rand(2, 5) * 50;
    ball.b = Rand(2, 5) * 50;
    ball.s = Rand(2, 16);
    ball.f = 0;
    BallList.push_back(ball);
}

}  // namespace

RoundState StartRound() {
    CurScore = 0;
    CurBadges = 0;
    for (int i = 1; i <= 30; ++i) CurBest[i] = 0;
    BallList.clear();
    ParticleList.clear();
    RoundState round;
    switch (CurGameMode) {
    case 1:
        round.lives = 5;
        round.halfWidth = 96;
        break;
    case 2:
        round.lives = 3;
        round.halfWidth = 48;
        break;
    default:  // Easy, and any mode outside 0..2
        round.lives = 9;
        round.halfWidth = 128;
        break;
    }
    return round;
}

void RoundLaunch(RoundState& round) {
    round.countdown -= 1;
    // An emptied screen is refilled at once, but only after the first launch.
    if (!(round.countdown < 0 || (BallList.empty() && round.launched))) return;
    round.countdown = round.interval;
    round.interval = std::max(MinInterval, round.interval - (CurGameMode + 2));
    round.launched = true;
    LaunchBall();
}

void RoundBalls(RoundState& round) {
    const int W = ScreenWidth;
    const int H = ScreenHeight;
    for (auto it = BallList.begin(); it != BallList.end();) {
        Ball& ball = *it;
        ball.ys += Gravity;
        ball.x += ball.xs;
        ball.y += ball.ys;

        SetDrawColor(static_cast<float>(ball.r), static_cast<float>(ball.g),
                     static_cast<float>(ball.b), AlphaUnchanged);
        DrawOval(ball.x - 16, ball.y - 16, 33, 33);

        // Catch; after the fatal drop (lives −1) nothing more is caught this frame.
        if (round.lives >= 0 && std::fabs(ball.y - (H - CatchLine)) < CatchReach &&
            std::fabs(ball.x - MouseXNow) < round.halfWidth + CatchExtra) {
            PlaySfx(ball.s, static_cast<float>(Rnd(0.7, 1.4)), 1, 0);
            ball.y = static_cast<float>(H - 44);
            round.combo += 1;
            CurScore += round.combo;
            ball.ys = static_cast<float>(Rnd(-18, -12));
            if (std::fabs(ball.xs) > 1.5f) ball.xs *= 0.8f;  // each catch slows a fast sideways ball
            EmitCatchSparks(ball, round.combo);
        }

        // Wall exit: only outward, and only once (f).
        if (ball.f == 0 && ((ball.x < 4 && ball.xs < 0) || (ball.x > W - 4 && ball.xs > 0))) {
            ball.f = 1;
            PlaySfx(17, 1, 1, 0);
            round.combo += 1;
            CurScore += round.combo;
            EmitWallSparks(ball, round.combo);
        }

        if (ball.x < -64 || ball.x > W + 64) {
            it = BallList.erase(it);
            continue;
        }
        if (ball.y > H + 64 && ball.f == 0) {
            it = BallList.erase(it);
            round.combo = 0;
            round.lives -= 1;
            PlaySfx(20, 1, 1, 0);
            continue;
        }
        ++it;
    }
    if (round.lives < 0) {
        round.lives = 0;
        round.endCode = 1;
    }
}

void RoundHud(RoundState& round) {
    const int W = ScreenWidth;
    const int H = ScreenHeight;
    ResetDrawState();
    SetDrawColor(255, 255, 255, AlphaUnchanged);
    DrawRect(static_cast<float>(MouseXNow - round.halfWidth), static_cast<float>(H - 32),
             static_cast<float>(2 * round.halfWidth), 16);

    round.shownScore = round.shownScore - (round.shownScore - CurScore) / 6;
    if (std::fabs(round.shownScore - CurScore) < 2) round.shownScore = static_cast<float>(CurScore);

    SetFont(1, 5);
    SetDrawColor(100, 255, 100, 0.7f);
    DrawTextAligned(W / 2, 25, Str(static_cast<int64_t>(static_cast<int>(round.shownScore))), 1, 1);
    SetFont(1, 3);
    DrawTextAligned(static_cast<int>(W * 0.35), 50, Str(static_cast<int64_t>(round.combo)), 1, 1);
    DrawTextAligned(static_cast<int>(W * 0.65), 50, Str(static_cast<int64_t>(round.lives)), 1, 1);
}

void DrawGameOver() {
    const int cx = ScreenWidth / 2;
    const int cy = ScreenHeight / 2;
    SetImageFont(FontByRole[5]);
    // A white rim three pixels wide, a near-black one two wide, yellow on top.
    for (int dx = -3; dx <= 3; ++dx) {
        for (int dy = -3; dy <= 3; ++dy) {
            ResetDrawState();
            SetDrawColor(255, 255, 255, 1);
            DrawTextAligned(cx + dx, cy + dy, "Game Over", 1, 1);
        }
    }
    for (int dx = -2; dx <= 2; ++dx) {
        for (int dy = -2; dy <= 2; ++dy) {
            ResetDrawState();
            SetDrawColor(8, 8, 8, 1);
            DrawTextAligned(cx + dx, cy + dy, "Game Over", 1, 1);
        }
    }
    ResetDrawState();
    SetDrawColor(255, 255, 0, 1);
    DrawTextAligned(cx, cy, "Game Over", 1, 1);
}

void RoundFrame(RoundState& round) {
    BeginFrame(1);
    ResetDrawState();  // no backdrop in the round
    MouseXNow = static_cast<int>(VirtualMouseX());
    RoundLaunch(round);
    RoundBalls(round);
    UpdateParticles();
    RoundHud(round);
    if (FrameEnd(TargetFps, 0, MouseMode) == 99) round.endCode = 99;
    if (round.endCode != 0) {
        Flip(-1);
        DrawGameOver();
        Flip(-1);
    }
}

void FileRoundScore(int endCode) {
    auto record = std::make_shared<Scores>();
    record->Score = CurScore;
    record->Timestamp = DateStamp("");
    record->Badges = CurBadges;
    record->Name = PlayerName;
    for (int i = 1; i <= 30; ++i) record->Best[i] = CurBest[i];
    record->Level = CurLevel;
    record->GameMode = CurGameMode;
    record->GameFlags = CurGameFlags;
    record->Quit = endCode == 99 ? 1 : 0;
    AddScore(record);
}

void PlayRound() {
    RoundState round = StartRound();
    while (round.endCode == 0) RoundFrame(round);
    Delay(1500);  // "Game Over" stays on screen for one and a half seconds
    PlayState = 0;
    EnterName();
    FileRoundScore(round.endCode);
    // Written now, not only at the closing screen: a game filed is on disk
    // when the title shows it, and a failed save is told there at once.
    SaveScores();
    // Ended by the session during name entry: the game is filed and saved,
    // so leave now the way every screen does.
    if (AppTerminating()) ClosingScreen();
}
