// draw.h — the helpers every screen draws through, on top of the platform's
// drawing state: float colours, scale, the framework's blend numbering,
// aligned text, top-left images, glow, the per-frame budgets, the backdrop.
//
// Budgets (DrawLimit/DrawCount below): slot 1 main images, slot 2
// glow, slot 3 particles. In slow-system mode the counted helpers draw
// nothing on the frames FrameEnd will not show (SkipFrame = 1).
#pragma once

#include <string>

#include "platform/platform.h"

// ---------------------------------------------------------------------------
// Drawing area, pointer, budgets (set to these values by InitDrawGlobals)
// ---------------------------------------------------------------------------
extern int ScreenWidth, ScreenHeight;  // = 1280 × 960; virtual area, set by the graphics set-up
// The pointer in virtual pixels for this and the previous frame (= 0),
// sampled by FrameEnd; MouseInRect tests the first pair.
extern int MouseXNow, MouseYNow, MouseXPrev, MouseYPrev;
extern int DrawLimit[20];  // per-frame budgets: 1 images (= 50000), 2 glow (= 50000), 3 particles (= 0)
extern int DrawCount[20];  // draws made this frame (= 0), zeroed by BeginFrame
extern float BackdropColor[3];   // = 0.2, 0, 1; r, g, b multipliers shown now
extern float BackdropTarget[3];  // = 0.2, 0, 1; where BackdropColor eases to
// = 0; FrameEnd steps it 0, 1, 0, 1 ...; with Settings[7] = 1 the frames at
// 1 are not shown, so the counted helpers draw nothing then.
extern int SkipFrame;

// Every global above back to its start-up value.
void InitDrawGlobals();

// Markers for omitted trailing arguments (exact float comparison).
constexpr float AlphaUnchanged = 37171648.0f;  // SetDrawColor: keep the alpha
constexpr float ScaleAsX = -37171648.0f;       // SetDrawScale: y scale = x scale

// Colour components clamped to 0..255 and truncated; alpha clamped to 0..1.
void SetDrawColor(float r, float g, float b, float alpha = AlphaUnchanged);
void SetDrawScale(float sx, float sy = ScaleAsX);
void SetDrawRotation(float degrees);
// Rotation 0, scale 1, white, alpha 1, blend mode 1 (alpha).
void ResetDrawState();
// 0 solid, 1 alpha, 2 shade, 3 light (additive); other values change nothing.
void SetBlendMode(int mode);
// alignX/alignY: 0 left/top, 1 centred, 2 right/bottom at (x, y).
void DrawTextAligned(int x, int y, const std::string& text, int alignX = 0, int alignY = 0);
// A centre-handled image placed by its top-left corner, counted in `slot`.
void DrawImageTopLeft(const Image& image, int x, int y, int frame = 0, int slot = 1);
// The image by its top-left corner (slot 1), then an additive glow over it
// (slot 2): glowImage (or the image itself when none) at glowScale times the
// scale and glowAlpha times the alpha.
void DrawGlowImage(const Image& image, int x, int y, int frame, const Image& glowImage,
                   float glowScale, float glowAlpha);
// clear 1: Cls. Then DrawCount[1..10] = 0.
void BeginFrame(int clear);
// The diagonal striped backdrop; eases BackdropColor one step to its target.
void DrawBackdrop();
// v lowered to hi, then raised to lo (lo wins when lo > hi).
float ClampFloat(float v, float lo, float hi);
// Pointer strictly inside the rectangle (edges are outside).
bool MouseInRect(int x, int y, int w, int h);
