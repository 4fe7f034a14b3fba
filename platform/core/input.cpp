// input.cpp — keyboard, mouse, window and joystick state. The state changes
// only through the plat::Input* events (from SDL or a test script), applied
// in order at each poll, so a press and release that both arrive between two
// frames still count as one hit.
#include <array>
#include <cmath>
#include <csignal>

#include "platform/core/core.h"
#include "platform/platform.h"

namespace {

constexpr int kCharQueueSize = 256;  // typed characters kept until read
constexpr int kMouseButtons = 3;     // 1 left, 2 right, 3 middle

struct InputState {
    std::array<bool, KeyCount> keyDown{};
    std::array<int, KeyCount> keyHits{};
    std::array<int, kCharQueueSize> chars{};  // ring buffer
    int charHead = 0, charCount = 0;
    int mouseX = 0, mouseY = 0, mouseZ = 0;  // window pixels; wheel notches
    std::array<bool, kMouseButtons + 1> mouseDown{};
    std::array<int, kMouseButtons + 1> mouseHits{};
    bool closeRequested = false;
    bool active = true;
};

InputState g_in;

// Set from a signal handler (only a sig_atomic_t store is safe there), turned
// into a close request and the sticky "terminating" state at the next poll.
volatile std::sig_atomic_t g_termSignal = 0;
bool g_terminating = false;

bool ValidKey(int key) { return key >= 0 && key < KeyCount; }
bool ValidButton(int b) { return b >= 1 && b <= kMouseButtons; }

void TakeSignal() {
    if (!g_termSignal) return;
    g_termSignal = 0;
    g_terminating = true;
    g_in.closeRequested = true;
}

void Poll() {
    plat::PollEvents();
    TakeSignal();
}

plat::JoystickBackend* Joy(int port) {
    plat::JoystickBackend* j = plat::Joysticks();
    if (!j || port < 0 || port >= j->Count()) return nullptr;
    return j;
}

float Axis(int port, int axis) {
    Poll();
    plat::JoystickBackend* j = Joy(port);
    return j ? j->Axis(port, axis) : 0.0f;
}

}  // namespace

namespace plat {

void ResetInputState() {
    g_in = InputState{};
    g_termSignal = 0;
    g_terminating = false;
}

void InputTerminationSignal() { g_termSignal = 1; }

void InputKey(int key, bool down) {
    if (!ValidKey(key)) return;
    if (down) ++g_in.keyHits[key];
    g_in.keyDown[key] = down;
}

void InputChar(int code) {
    // Latin-1 only; 0 is GetChar's "nothing typed" and cannot be queued.
    if (code <= 0 || code > 255 || g_in.charCount == kCharQueueSize) return;
    g_in.chars[(g_in.charHead + g_in.charCount) % kCharQueueSize] = code;
    ++g_in.charCount;
}

void InputMouseMove(int x, int y) {
    g_in.mouseX = x;
    g_in.mouseY = y;
}

void InputMouseButton(int button, bool down) {
    if (!ValidButton(button)) return;
    if (down) ++g_in.mouseHits[button];
    g_in.mouseDown[button] = down;
}

void InputWheel(int delta) { g_in.mouseZ += delta; }

void InputCloseRequest() { g_in.closeRequested = true; }

void InputFocus(bool active) {
    g_in.active = active;
    // Releases that happen while another window has the focus never reach
    // us; dropping the held state avoids keys stuck down. Hits stay counted.
    if (!active) {
        g_in.keyDown.fill(false);
        g_in.mouseDown.fill(false);
    }
}

void PollEvents() {
    if (VideoBackend* v = Video()) v->PumpEvents();
}

}  // namespace plat

// ---------------------------------------------------------------------------
// Keyboard
// ---------------------------------------------------------------------------
bool KeyDown(int key) {
    Poll();
    return ValidKey(key) && g_in.keyDown[key];
}

int KeyHit(int key) {
    Poll();
    if (!ValidKey(key)) return 0;
    const int hits = g_in.keyHits[key];
    g_in.keyHits[key] = 0;
    return hits;
}

int GetChar() {
    Poll();
    if (g_in.charCount == 0) return 0;
    const int c = g_in.chars[g_in.charHead];
    g_in.charHead = (g_in.charHead + 1) % kCharQueueSize;
    --g_in.charCount;
    return c;
}

void FlushKeys() {
    Poll();  // what is pending now is flushed too
    g_in.keyDown.fill(false);
    g_in.keyHits.fill(0);
    g_in.charHead = g_in.charCount = 0;
}

// ---------------------------------------------------------------------------
// Mouse
// ---------------------------------------------------------------------------
int MouseX() {
    Poll();
    return g_in.mouseX;
}

int MouseY() {
    Poll();
    return g_in.mouseY;
}

int MouseZ() {
    Poll();
    return g_in.mouseZ;
}

bool MouseDown(int button) {
    Poll();
    return ValidButton(button) && g_in.mouseDown[button];
}

int MouseHit(int button) {
    Poll();
    if (!ValidButton(button)) return 0;
    const int hits = g_in.mouseHits[button];
    g_in.mouseHits[button] = 0;
    return hits;
}

void FlushMouse() {
    Poll();
    g_in.mouseDown.fill(false);
    g_in.mouseHits.fill(0);
}

// ---------------------------------------------------------------------------
// Window
// ---------------------------------------------------------------------------
bool AppTerminating() {
    Poll();
    return g_terminating;
}

bool AppTerminate() {
    Poll();
    const bool requested = g_in.closeRequested;
    g_in.closeRequested = false;
    return requested;
}

bool AppSuspended() {
    Poll();
    return !g_in.active;
}

// ---------------------------------------------------------------------------
// Joysticks (a port without a device reads as all zero)
// ---------------------------------------------------------------------------
int JoyCount() {
    Poll();
    plat::JoystickBackend* j = plat::Joysticks();
    return j ? j->Count() : 0;
}

std::string JoyName(int port) {
    Poll();
    plat::JoystickBackend* j = Joy(port);
    return j ? j->Name(port) : std::string();
}

int JoyButtonCaps(int port) {
    Poll();
    plat::JoystickBackend* j = Joy(port);
    if (!j) return 0;
    const int buttons = j->Buttons(port);
    if (buttons <= 0) return 0;
    if (buttons >= 31) return 0x7fffffff;
    return (1 << buttons) - 1;
}

bool JoyDown(int button, int port) {
    Poll();
    plat::JoystickBackend* j = Joy(port);
    return j && button >= 0 && button < j->Buttons(port) && j->Button(port, button);
}

float JoyX(int port) { return Axis(port, 0); }
float JoyY(int port) { return Axis(port, 1); }
float JoyZ(int port) { return Axis(port, 2); }
float JoyR(int port) { return Axis(port, 3); }
float JoyU(int port) { return Axis(port, 4); }
float JoyV(int port) { return Axis(port, 5); }

float JoyHat(int port) {
    Poll();
    plat::JoystickBackend* j = Joy(port);
    return j ? j->Hat(port) : 0.0f;
}
