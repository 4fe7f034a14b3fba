// controls.cpp — polling bindings and scanning for the first held input.
#include "input/controls.h"

#include <algorithm>
#include <iterator>

#include "platform/platform.h"

int KeyBindings[101];
int JoyPortCount;
std::string JoyNameOf[5];
int JoyButtonMask[5];
float JoyRest[5][AxisCount];
int JoyEnabled[5];
int JoyHasHat[5];

void InitInputGlobals() {
    std::fill(std::begin(KeyBindings), std::end(KeyBindings), 0);
    KeyBindings[0] = 38;   // up: Up arrow
    KeyBindings[3] = 37;   // left: Left arrow
    KeyBindings[5] = 39;   // right: Right arrow
    KeyBindings[8] = 40;   // down: Down arrow
    KeyBindings[10] = 90;  // action buttons: Z, X, C, V
    KeyBindings[11] = 88;
    KeyBindings[12] = 67;
    KeyBindings[13] = 86;

    JoyPortCount = 0;
    for (int p = 0; p < 5; ++p) {
        JoyNameOf[p].clear();
        JoyButtonMask[p] = 0;
        std::fill(std::begin(JoyRest[p]), std::end(JoyRest[p]), 0.0f);
        JoyEnabled[p] = 0;
        JoyHasHat[p] = 0;
    }
}

namespace {

constexpr float kAxisThreshold = 0.3f;  // either side of the rest value

// Axis readings in the order of the sub-codes: s / 2 = 0 Y, 1 X, 2 Z, 3 U, 4 V, 5 R.
float AxisBySubCode(int s, int platformPort) {
    switch (s / 2) {
        case 0: return JoyY(platformPort);
        case 1: return JoyX(platformPort);
        case 2: return JoyZ(platformPort);
        case 3: return JoyU(platformPort);
        case 4: return JoyV(platformPort);
        default: return JoyR(platformPort);
    }
}

float RestBySubCode(int s, int port) {
    static const int kAxisOf[6] = {AxisY, AxisX, AxisZ, AxisU, AxisV, AxisR};
    return JoyRest[port][kAxisOf[s / 2]];
}

}  // namespace

void SetUpJoysticks() {
    JoyPortCount = JoyCount();
    if (JoyPortCount > 4) JoyPortCount = 4;
    if (JoyPortCount < 0) JoyPortCount = 0;
    for (int p = 1; p <= JoyPortCount; ++p) {
        const int port = p - 1;  // the platform numbers ports from 0
        JoyButtonMask[p] = JoyButtonCaps(port);
        JoyNameOf[p] = JoyName(port);
        JoyRest[p][AxisX] = JoyX(port);
        JoyRest[p][AxisY] = JoyY(port);
        JoyRest[p][AxisZ] = JoyZ(port);
        JoyRest[p][AxisU] = JoyU(port);
        JoyRest[p][AxisV] = JoyV(port);
        JoyRest[p][AxisR] = JoyR(port);
        JoyEnabled[p] = 1;
        JoyHasHat[p] = JoyHat(port) == -1.0f ? 1 : 0;
    }
}

bool BindingDown(int code) {
    if (code >= 10 && code <= 254) return KeyDown(code);
    if (code < 300) return false;
    const int p = code / 50 - 5;
    if (p < 1 || p > 4 || JoyEnabled[p] == 0) return false;  // only ports 1..4 exist
    const int s = code % 50;
    const int port = p - 1;
    if (s <= 11) {
        const float reading = AxisBySubCode(s, port);
        const float rest = RestBySubCode(s, p);
        return s % 2 == 0 ? reading < rest - kAxisThreshold : reading > rest + kAxisThreshold;
    }
    if (s == 20 || s == 25 || s == 28 || s == 23) {
        if (JoyHasHat[p] != 1) return false;
        const float h = JoyHat(port);
        switch (s) {
            case 20: return h >= 0 && (h > 0.8f || h < 0.2f);
            case 25: return h > 0.1f && h < 0.4f;
            case 28: return h > 0.3f && h < 0.7f;
            default: return h > 0.6f && h < 0.9f;
        }
    }
    if (s >= 30) return JoyDown(s - 30, port);
    return false;
}

bool ControlDown(int control, int player) {
    const int index = (player - 1) * 20 + control;
    if (index < 0 || index > 100) return false;
    return BindingDown(KeyBindings[index]);
}

int ScanInput() {
    if (KeyDown(122) || KeyDown(123)) return 0;  // F11 / F12 belong to FrameEnd
    for (int key = 1; key <= 255; ++key) {
        if (KeyDown(key)) return key;
    }
    for (int p = 1; p <= JoyPortCount; ++p) {
        if (JoyEnabled[p] != 1) continue;
        const int base = 250 + 50 * p;
        const int port = p - 1;
        for (int s = 0; s <= 11; ++s) {
            const float reading = AxisBySubCode(s, port);
            const float rest = RestBySubCode(s, p);
            const bool held =
                s % 2 == 0 ? reading < rest - kAxisThreshold : reading > rest + kAxisThreshold;
            if (held) return base + s;
        }
        if (JoyHasHat[p] == 1) {
            // Only exact readings are captured; diagonals can be polled, not bound.
            const float h = JoyHat(port);
            if (h == 0.0f) return base + 20;
            if (h == 0.25f) return base + 25;
            if (h == 0.5f) return base + 28;
            if (h == 0.75f) return base + 23;
        }
        for (int b = 0; b < 19 && b < JoyButtonMask[p]; ++b) {
            if (JoyDown(b, port)) return base + 30 + b;
        }
    }
    return 0;
}
