// key_names.cpp — the display names of keys and joystick inputs.
#include <string>

#include "input/controls.h"
#include "platform/platform.h"

namespace {

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
