// draw.cpp — drawing helpers over the platform's drawing state.
#include "draw/draw.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "settings/settings.h"

int ScreenWidth, ScreenHeight;
int MouseXNow, MouseYNow, MouseXPrev, MouseYPrev;
int DrawLimit[20], DrawCount[20];
float BackdropColor[3], BackdropTarget[3];
int SkipFrame;

namespace {

// In slow-system mode the frames FrameEnd will not show are not drawn at all.
bool FrameIsSkipped() { return Settings[7] == 1 && SkipFrame == 1; }

// Takes one draw from the slot's budget; false when the budget is spent.
bool TakeBudget(int slot) {
    if (slot < 0 || slot >= 20) return true;  // outside the tables: not counted
    if (DrawCount[slot] < DrawLimit[slot]) {
        ++DrawCount[slot];
        return true;
    }
    return false;
}

}  // namespace

void InitDrawGlobals() {
    ScreenWidth = 1280;
    ScreenHeight = 960;
    std::fill(std::begin(DrawLimit), std::end(DrawLimit), 0);
    std::fill(std::begin(DrawCount), std::end(DrawCount), 0);
    DrawLimit[1] = 50000;
    DrawLimit[2] = 50000;
    const float startColor[3] = {0.2f, 0.0f, 1.0f};
    std::copy(startColor, startColor + 3, BackdropColor);
    std::copy(startColor, startColor + 3, BackdropTarget);
    SkipFrame = 0;
    MouseXNow = MouseYNow = MouseXPrev = MouseYPrev = 0;
}

float ClampFloat(float v, float lo, float hi) {
    if (v > hi) v = hi;
    if (v < lo) v = lo;
    return v;
}

void SetDrawColor(float r, float g, float b, float alpha) {
    SetColor(static_cast<int>(ClampFloat(r, 0, 255)), static_cast<int>(ClampFloat(g, 0, 255)),
             static_cast<int>(ClampFloat(b, 0, 255)));
    if (alpha != AlphaUnchanged) SetAlpha(ClampFloat(alpha, 0, 1));
}

void SetDrawScale(float sx, float sy) {
    if (sy == ScaleAsX) sy = sx;
    SetScale(sx, sy);
}

void SetDrawRotation(float degrees) { SetRotation(degrees); }

void ResetDrawState() {
    SetRotation(0);
    SetScale(1, 1);
    SetColor(255, 255, 255);
    SetAlpha(1);
    SetBlendMode(1);
}

void SetBlendMode(int mode) {
    switch (mode) {
        case 0: SetBlend(BlendSolid); break;
        case 1: SetBlend(BlendAlpha); break;
        case 2: SetBlend(BlendShade); break;
        case 3: SetBlend(BlendLight); break;
        default: break;  // unknown framework modes leave the blend as it is
    }
}

void DrawTextAligned(int x, int y, const std::string& text, int alignX, int alignY) {
    if (alignX == 1) x -= TextWidth(text) / 2;
    if (alignX == 2) x -= TextWidth(text);
    if (alignY == 1) y -= TextHeight() / 2;
    if (alignY == 2) y -= TextHeight();
    DrawText(text, static_cast<float>(x), static_cast<float>(y));
}

void DrawImageTopLeft(const Image& image, int x, int y, int frame, int slot) {
    if (FrameIsSkipped()) return;
    if (!TakeBudget(slot)) return;
    float sx, sy;
    GetScale(sx, sy);
    DrawImage(image, x + ImageWidth(image) * sx / 2, y + ImageHeight(image) * sy / 2, frame);
}

void DrawGlowImage(const Image& image, int x, int y, int frame, const Image& glowImage,
                   float glowScale, float glowAlpha) {
    if (FrameIsSkipped()) return;
    float sx, sy;
    GetScale(sx, sy);
    const float alpha = GetAlpha();
    const int blend = GetBlend();
    // Both halves share the main image's centre at the caller's scale.
    const float cx = x + ImageWidth(image) * sx / 2;
    const float cy = y + ImageHeight(image) * sy / 2;
    if (TakeBudget(1)) DrawImage(image, cx, cy, frame);
    SetScale(sx * glowScale, sy * glowScale);
    SetAlpha(alpha * glowAlpha);
    SetBlendMode(3);
    if (TakeBudget(2)) DrawImage(glowImage ? glowImage : image, cx, cy, frame);
    SetScale(sx, sy);
    SetAlpha(alpha);
    SetBlend(blend);
}

void BeginFrame(int clear) {
    if (clear == 1) Cls();
    for (int slot = 1; slot <= 10; ++slot) DrawCount[slot] = 0;
}

void DrawBackdrop() {
    ResetDrawState();
    for (int c = 0; c < 3; ++c) {
        float& now = BackdropColor[c];
        const float target = BackdropTarget[c];
        now -= (now - target) / 16;
        if (std::fabs(now - target) < 0.005f) now = target;
    }
    SetRotation(-45);
    int k = 25;
    for (int i = 0; i <= ScreenHeight; i += 10) {
        ++k;
        SetDrawColor(k * BackdropColor[0], k * BackdropColor[1], k * BackdropColor[2],
                     AlphaUnchanged);
        DrawRect(-100, 3.0f * i, static_cast<float>(ScreenWidth + 1800), 30);
    }
    ResetDrawState();
}

bool MouseInRect(int x, int y, int w, int h) {
    return MouseXNow > x && MouseYNow > y && MouseXNow < x + w && MouseYNow < y + h;
}
