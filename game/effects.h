// effects.h — short-lived visual records kept in global lists and updated
// once per frame: the round's sparks (Particle), the framework's notices at
// the bottom-left (Announcement) and rising score numbers (PopScore).
//
// None of them go through the draw budgets of draw/draw.h: they are plain
// lines, rectangles, ovals and text. Coordinates are virtual pixels
// (ScreenWidth × ScreenHeight); every rate is per frame.
#pragma once

#include <string>

// ---------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------
struct Particle {
    float x = 0, y = 0;    // position, virtual pixels
    float xs = 0, ys = 0;  // velocity, pixels per frame
    int t = 0;             // kind: 1 catch spark, 2 wall spark
    int r = 0, g = 0, b = 0;  // colour 0..255
    float rot = 0;         // spin angle, degrees
    float rotgo = 0;       // spin speed, degrees per frame
    float alp = 0;         // opacity; sparks start at 1 and lose 0.01 a frame
};

struct Announcement {
    int tick = 0;     // frames shown so far; removed at 180
    std::string txt;  // the line of text
    int c = 0;        // caller's code (every caller passes 1), kept with the line
};

struct PopScore {
    int n = 0;             // the points shown
    float x = 0, y = 0;    // centre of the number
    int t = 0;             // frames left, starts at 120
    int r = 0, g = 0, b = 0;
};

// ---------------------------------------------------------------------------
// Sparks (lists live in app/globals.h: ParticleList)
// ---------------------------------------------------------------------------
// Appends `count` catch sparks (kind 1) around a ball at (ballX, ballY).
void EmitCatchSparks(float ballX, float ballY, int count);
// Appends `count` wall sparks (kind 2); ballX below 4 throws them right, above
// ScreenWidth − 4 throws them left (between the walls: no sideways speed).
void EmitWallSparks(float ballX, float ballY, int count);
// The same, given any record with float fields x and y (the round's Ball).
template <class B>
void EmitCatchSparks(const B& ball, int count) { EmitCatchSparks(ball.x, ball.y, count); }
template <class B>
void EmitWallSparks(const B& ball, int count) { EmitWallSparks(ball.x, ball.y, count); }
// Moves, draws and expires every particle, in list order.
void UpdateParticles();

// ---------------------------------------------------------------------------
// Notices and score numbers (drawn by FrameEnd on every screen)
// ---------------------------------------------------------------------------
void AddAnnouncement(const std::string& txt, int c);
// Draws the notices stacked upward from the bottom-left, oldest lowest.
void DrawAnnouncements();
// Adds n to CurScore and appends a number rising from (x, y) for 120 frames.
void AddPopScore(int n, float x, float y, int r, int g, int b);
void DrawPopScores();
