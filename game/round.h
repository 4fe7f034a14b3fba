// round.h — one juggling round: balls thrown in from both sides fly under
// gravity, the bar at the pointer throws them up again, a ball leaving through
// a side wall is a bonus, a ball falling out of the bottom costs a life.
// Ends with "Game Over", name entry and a Scores record filed in ScoreList.
//
// Units: virtual pixels (ScreenWidth × ScreenHeight), speeds per frame.
#pragma once

#include <list>

struct Ball {
    float x = 0, y = 0;    // centre
    float xs = 0, ys = 0;  // velocity, pixels per frame
    int r = 0, g = 0, b = 0;  // colour, each one of 100, 150, 200, 250
    int s = 0;             // sound effect played when caught, 2..16
    int f = 0;             // 1 once it has left through a side wall (no more life cost)
};

extern std::list<Ball> BallList;  // live balls, in launch order

// The round's local state.
struct RoundState {
    int countdown = 60;    // frames until the next launch
    int interval = 180;    // countdown after a launch; shrinks to 30
    bool launched = false; // any ball launched in this round
    int combo = 0;         // catches and wall exits since the last drop
    int lives = 5;         // 9 / 5 / 3 by difficulty
    int halfWidth = 96;    // half the bar: 128 / 96 / 48
    float shownScore = 0;  // HUD figure easing toward CurScore
    int endCode = 0;       // 0 playing, 1 lives ran out, 99 quit from the pause menu
};

// Start of a round: CurScore, CurBadges, CurBest zeroed, lists emptied,
// state set from CurGameMode.
RoundState StartRound();
// Launch test of one frame (counts the countdown down; may launch a ball).
void RoundLaunch(RoundState& round);
// Moves, draws and tests every ball (catch, wall exit, removal, drop); then
// the end-of-lives test.
void RoundBalls(RoundState& round);
// The bar and the HUD (score easing, combo, lives).
void RoundHud(RoundState& round);
// One whole frame of the round, FrameEnd included.
void RoundFrame(RoundState& round);
// The "Game Over" picture: 49 white, 25 near-black and one yellow draw.
void DrawGameOver();
// A Scores record of the round just ended, appended to ScoreList (sorted).
void FileRoundScore(int endCode);
// The whole round: frames until the end code is set, "Game Over", the 1.5 s
// pause, name entry and the filed record.
void PlayRound();
