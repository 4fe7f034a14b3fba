// effects.cpp — the round's sparks.
#include "game/effects.h"

#include <cmath>

#include "draw/draw.h"
#include "platform/platform.h"

std::list<Particle> ParticleList;

void InitGameGlobals() { ParticleList.clear(); }

namespace {

constexpr double kDegToRad = 3.14159265358979323846 / 180.0;
float SinDeg(float degrees) { return static_cast<float>(std::sin(degrees * kDegToRad)); }
float CosDeg(float degrees) { return static_cast<float>(std::cos(degrees * kDegToRad)); }

// Steps 1, 3, 4 of both spark kinds; xs/ys are drawn by the caller in between
// so the random numbers come in the documented order.
Particle StartSpark(float ballX, float ballY) {
    Particle p;
    p.x = ballX + static_cast<float>(Rnd(-6, 6));
    p.y = ballY + static_cast<float>(Rnd(-6, 6));
    return p;
}

void FinishSpark(Particle& p, int kind) {
    p.alp = 1;
    p.rot = static_cast<float>(Rnd(0, 360));
    p.rotgo = static_cast<float>(Rnd(-4, 4));
    // 25..125: dim colours that the additive glow brightens.
    p.r = static_cast<int>(Rnd(1, 5) * 25);
    p.g = static_cast<int>(Rnd(1, 5) * 25);
    p.b = static_cast<int>(Rnd(1, 5) * 25);
    p.t = kind;
    ParticleList.push_back(p);
}

}  // namespace

void EmitCatchSparks(float ballX, float ballY, int count) {
    for (int i = 0; i < count; ++i) {
        Particle p = StartSpark(ballX, ballY);
        p.xs = static_cast<float>(Rnd(-12, 12));
        p.ys = static_cast<float>(Rnd(-12, -4));
        FinishSpark(p, 1);
    }
}

void EmitWallSparks(float ballX, float ballY, int count) {
    for (int i = 0; i < count; ++i) {
        Particle p = StartSpark(ballX, ballY);
        if (ballX < 4) {
            p.xs = static_cast<float>(Rnd(4, 12));  // left wall: back into the screen
        } else if (ballX > ScreenWidth - 4) {
            p.xs = static_cast<float>(Rnd(-12, -4));
        }
        p.ys = static_cast<float>(Rnd(-12, 8));
        FinishSpark(p, 2);
    }
}

void UpdateParticles() {
    for (auto it = ParticleList.begin(); it != ParticleList.end();) {
        Particle& p = *it;
        SetDrawColor(static_cast<float>(p.r), static_cast<float>(p.g), static_cast<float>(p.b),
                     p.alp);
        p.x += p.xs;
        p.y += p.ys;
        p.rot += p.rotgo;
        p.ys += 0.2f;  // gravity, pixels per frame per frame
        p.alp -= 0.01f;
        SetBlendMode(1);
        if (p.t == 1) {
            // A spinning plus sign, at the alpha set before the decrement.
            SetDrawRotation(0);
            for (float a : {p.rot, p.rot + 90}) {
                DrawLine(p.x - SinDeg(a) * 8, p.y + CosDeg(a) * 8, p.x + SinDeg(a) * 8,
                         p.y - CosDeg(a) * 8);
            }
        } else if (p.t == 2) {
            SetDrawRotation(p.rot);
            SetAlpha(ClampFloat(p.alp / 2, 0, 1));
            DrawRect(p.x - 6, p.y - 6, 12, 12);
        }
        // A glow dot circling the spark at radius 14, four times its spin.
        SetBlendMode(3);
        SetDrawRotation(p.rot * 2);
        SetAlpha(ClampFloat(p.alp / 2, 0, 1));
        DrawOval(p.x + SinDeg(p.rot * 4) * 14, p.y - CosDeg(p.rot * 4) * 14, 16, 16);
        if (p.alp < 0 || p.x < -64 || p.y > ScreenHeight + 64 || p.x > ScreenWidth + 64) {
            it = ParticleList.erase(it);
        } else {
            ++it;
        }
    }
}
