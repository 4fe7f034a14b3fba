// headless.h — the test back ends: no window, a virtual clock, scripted input,
// the software renderer drawing into memory and the mixer writing into memory.
//
// A test calls UseHeadlessPlatform() instead of PlatformInit(), then drives the
// game through the OnFlip hook (called each time a frame is shown) and reads
// back what was drawn (HeadlessFrame) and what would be heard (HeadlessMix).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

struct HeadlessConfig {
    // The display's full-screen modes, in platform order.
    std::vector<GraphicsMode> modes = {
        {640, 480, 32, 60}, {800, 600, 16, 60}, {800, 600, 32, 60},
        {1024, 768, 32, 60}, {1280, 720, 32, 60}, {1920, 1080, 32, 60},
    };
    uint32_t startMillis = 1000;            // MilliSecs() at start
    int64_t startUnixSeconds = 1796687779;  // 07 Dec 2026 23:56:19 UTC
    int flipCostMs = 0;                     // virtual time each Flip takes
    // Virtual time each textured draw (an image or a line of text) takes, so
    // a test decides how many sprites a frame holds at 60 fps. The default
    // holds 1500 sprites and not 2000, which ends the engine benchmark after
    // its fourth step with a normal 60 fps budget and keeps start-ups short.
    double spriteCostMs = 0.010;
    bool openGLAvailable = false;           // false: renderer 0 falls back to 1
};

// Thrown by EndProgram in headless runs so the driving test regains control.
struct ProgramEnded {
    int code;
};

// Resets every platform service to a fresh headless state (clock, input,
// random state, drawing state, audio channels).
void UseHeadlessPlatform(const HeadlessConfig& config = {});

// Virtual clock: Delay and Flip advance it; tests may too.
void HeadlessAdvance(int ms);
void HeadlessSetFlipCost(int ms);
void HeadlessSetSpriteCost(double ms);
// Textured draws the renderer was given since UseHeadlessPlatform.
int64_t HeadlessSpriteCount();

// Scripted input: applied immediately to the event queue, seen at the next poll.
void HeadlessKey(int key, bool down);
void HeadlessTap(int key);              // down then up before the next poll
void HeadlessChar(int code);
void HeadlessMouseMove(int x, int y);   // window pixels
void HeadlessMouseButton(int button, bool down);
void HeadlessWheel(int delta);
void HeadlessCloseRequest();
void HeadlessTerminationSignal();  // as SIGTERM would: save and end at once
void HeadlessSetJoystick(int port, const std::string& name, int buttons);  // attach
// A newly attached stick is centred: axes 0, hat -1, no button held.
void HeadlessSetJoyAxis(int port, int axis, float value);  // axis 0 X, 1 Y, 2 Z, 3 R, 4 U, 5 V
void HeadlessSetJoyHat(int port, float value);             // -1 centred, 0 up .. 0.75 left
void HeadlessSetJoyButton(int port, int button, bool down);
void HeadlessDetachJoystick(int port);  // the port then reads as all zero

// Called after every shown frame with the count of frames shown so far (1..).
void HeadlessOnFlip(std::function<void(int frame)> hook);
// Called at every Delay with the virtual time after it (for waits that do not flip).
void HeadlessOnDelay(std::function<void(uint32_t now)> hook);
int HeadlessFlipCount();

// The last frame shown (window size), and the back buffer as it is now.
Pixmap HeadlessFrame();
Pixmap HeadlessBackBuffer();

// Audio: mixes `frames` stereo frames at 44100 Hz from the in-memory mixer and
// returns them interleaved (left, right).
std::vector<int16_t> HeadlessMix(int frames);
