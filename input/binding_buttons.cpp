// binding_buttons.cpp — key and joystick names, and the binding buttons the
// settings panel shows when the game is played with keys.
#include <string>

#include "app/globals.h"
#include "draw/draw.h"
#include "input/controls.h"
#include "platform/platform.h"

namespace {

constexpr int kKeyBackspace = 8;
constexpr int kButtonSize = 48;

struct KeyName {
    int code;
    const char* name;
};

// Single keys, compared in this order after the digit, letter, keypad and
// function-key ranges (no code appears twice).
const KeyName kKeyNames[] = {
    {1, "Left Mousebutton"}, {2, "Right Mousebutton"}, {3, "Middle Mousebutton"},
    {8, "Backspace"}, {9, "Tab"}, {12, "Clear"}, {13, "Return"}, {27, "Escape"},
    {32, "Space"}, {33, "Page Up"}, {34, "Page Down"}, {35, "End"}, {36, "Home"},
    {37, "Left"}, {38, "Up"}, {39, "Right"}, {40, "Down"}, {41, "Select"}, {42, "Print"},
    {43, "Execute"}, {44, "Screen"}, {45, "Insert"}, {46, "Delete"}, {91, "Sys Left"},
    {92, "Sys Right"}, {106, "*"}, {107, "+"}, {109, "-"}, {110, "."}, {111, "/"},
    {160, "LShift"}, {161, "RShift"}, {162, "LControl"}, {163, "RControl"}, {164, "LAlt"},
    {165, "RAlt"}, {192, "'"}, {189, "-"}, {187, "="}, {219, "["}, {221, "]"}, {226, "\\"},
    {186, ";"}, {222, "#"}, {188, ","}, {190, "."}, {191, "/"}, {145, "ScrollLock"},
    {144, "NumLock"}, {19, "Pause"}, {223, "`"}, {220, "\\"}, {20, "CapsLock"}, {173, "Mute"},
    {174, "Volume Down"}, {175, "Volume Up"},
};

std::string SubCodeName(int s) {
    static const char* const kAxes[12] = {"Y-", "Y+", "X-", "X+", "Z-", "Z+",
                                          "U-", "U+", "V-", "V+", "R-", "R+"};
    if (s >= 0 && s < 12) return kAxes[s];
    if (s == 20) return "Up";
    if (s == 25) return "Right";
    if (s == 28) return "Down";
    if (s == 23) return "Left";
    return Str(int64_t{s - 30});
}

}  // namespace

std::string BindingName(int code) {
    if (code >= 48 && code <= 57) return std::string(1, static_cast<char>('0' + code - 48));
    if (code >= 65 && code <= 90) return std::string(1, static_cast<char>(code));
    if (code >= 96 && code <= 105) return std::string(1, static_cast<char>('0' + code - 96));
    if (code >= 112 && code <= 123) return "F" + Str(int64_t{code - 111});
    for (const KeyName& k : kKeyNames) {
        if (k.code == code) return k.name;
    }
    // Codes below zero have no name of their own; they fold like the rest.
    return SubCodeName(((code % 50) + 50) % 50);
}

void DrawBindingButton(int index, int x, int y) {
    if (index < 0 || index > 100) return;
    int& binding = KeyBindings[index];
    const int remembered = binding;
    const bool pointed = MouseInRect(x, y, kButtonSize, kButtonSize) && PanelOffset >= 0;
    if (pointed) {
        // Mouse buttons (1..7) are never taken: the click that points here
        // would otherwise bind itself.
        const int held = ScanInput();
        if (held > kKeyBackspace) binding = held;
        if (held == kKeyBackspace) binding = 0;
    }
    const bool lit = pointed || BindingDown(binding);

    int frame = -1;
    bool centred = true;  // name centred on the button, else on its corner
    if (remembered == 0 || (remembered >= 9 && remembered <= 254)) {
        frame = 3;
    } else if (remembered >= 300) {
        const int s = remembered % 50;
        if (s < 12) {
            frame = 9;
            centred = false;
        } else if (s >= 20 && s < 30) {
            frame = 8;
            centred = false;
        } else if (s >= 30) {
            frame = 10;
        }
    }
    if (frame < 0) return;  // codes outside the table draw nothing

    SetDrawScale(3);
    DrawGlowImage(IconImageCrisp, x, y, frame, IconImage, 1.1f, lit ? 1.0f : 0.0f);
    SetDrawScale(1);
    const std::string text = remembered == 0 || binding == 0 ? "?!" : BindingName(binding);
    if (centred) {
        DrawTextAligned(x + kButtonSize / 2, y + kButtonSize / 2, text, 1, 1);
    } else {
        DrawTextAligned(x, y, text, 1, 1);
    }
}

void DrawBindingGroup(int player, int x, int y) {
    struct Button {
        int control, dx, dy, r, g, b;
    };
    static const Button kButtons[8] = {
        {0, 50, 0, 80, 255, 80},     {3, 0, 50, 80, 255, 80},    {5, 100, 50, 80, 255, 80},
        {8, 50, 50, 80, 255, 80},    {13, 190, 0, 255, 255, 80}, {12, 155, 30, 80, 80, 255},
        {11, 225, 30, 255, 80, 80},  {10, 190, 60, 80, 255, 80},
    };
    const int base = (player - 1) * 20;
    for (const Button& b : kButtons) {
        SetDrawColor(static_cast<float>(b.r), static_cast<float>(b.g), static_cast<float>(b.b));
        DrawBindingButton(base + b.control, x + b.dx, y + b.dy);
    }
}
