// controls.h — polling the control bindings of KeyBindings (app/globals.h).
//
// Codes: 1..255 keys (only 10..254 can read as held); 300 + 50 × (port − 1)
// + s for joystick port 1..4 with s: 0..11 axis directions (Y−, Y+, X−, X+,
// Z−, Z+, U−, U+, V−, V+, R−, R+), 20/25/28/23 hat up/right/down/left,
// 30 + b button b.
#pragma once

#include <string>

// Step 3 of start-up: JoyPortCount and each port's name, buttons, axis rest
// values, JoyEnabled and JoyHasHat.
void SetUpJoysticks();
// True while the input bound to `code` is held.
bool BindingDown(int code);
// BindingDown(KeyBindings[(player − 1) × 20 + control]).
bool ControlDown(int control, int player);
// The code of the first input found held (keys, then joysticks), or 0.
// F11 and F12 held give 0.
int ScanInput();

// The display name of a binding code: key names from a fixed table, every
// other code (joystick codes included) by its sub-code s = code mod 50:
// "Y-" .. "R+", hat "Up"/"Right"/"Down"/"Left", else the number s − 30.
std::string BindingName(int code);
// The 48 × 48 binding button for KeyBindings[index] with its top-left at
// (x, y) in virtual pixels. While the pointer is on it and the settings panel
// is in place (PanelOffset ≥ 0) the first held input (ScanInput) rebinds it;
// Backspace clears it. Lit while pointed at or while its input is held.
void DrawBindingButton(int index, int x, int y);
// Player p's eight buttons (up, left, right, down and the four action
// buttons) around the origin (x, y), each tinted by its colour.
void DrawBindingGroup(int player, int x, int y);
