// effects.h — the round's sparks (Particle), short-lived records kept in a
// global list and updated once per frame. (The framework's notices and rising
// score numbers are in framework/notices.h, included here for the round.)
//
// Sparks do not go through the draw budgets of draw/draw.h: they are plain
// rectangles. Coordinates are virtual pixels (ScreenWidth × ScreenHeight);
// every rate is per frame.
#pragma once

#include <list>
#include <string>

#include "framework/notices.h"

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

// ---------------------------------------------------------------------------
// Sparks
// ---------------------------------------------------------------------------
// = empty; iterated in insertion order, an update loop may remove the record
// it is on.
extern std::list<Particle> ParticleList;
// Start-up: ParticleList emptied.
void InitGameGlobals();
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
