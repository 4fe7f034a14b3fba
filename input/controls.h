// controls.h — the control bindings, the joysticks as start-up found them,
// polling both, and the names of the inputs.
//
// Codes: 1..255 keys (only 10..254 can read as held); 300 + 50 × (port − 1)
// + s for joystick port 1..4 with s: 0..11 axis directions (Y−, Y+, X−, X+,
// Z−, Z+, U−, U+, V−, V+, R−, R+), 20/25/28/23 hat up/right/down/left,
// 30 + b button b.
#pragma once

#include <string>

// ---------------------------------------------------------------------------
// Bindings and joysticks (set to these values by InitInputGlobals)
// ---------------------------------------------------------------------------
// KeyBindings[(player − 1) × 20 + control]: binding code, 0 = unbound.
// Defaults for player 1: up 38 (Up arrow), left 37, right 39, down 40; the
// action buttons 10..13 Z, X, C, V (90, 88, 67, 86); everything else 0.
extern int KeyBindings[101];
// The number of attached joysticks, at most 4 (= 0). (The platform's
// JoyCount() is the live count; this is the one the bindings use for the
// whole run.) Per port 1..4, all empty or 0 until SetUpJoysticks:
enum JoyAxis { AxisX = 0, AxisY, AxisZ, AxisU, AxisV, AxisR, AxisCount };
extern int JoyPortCount;
extern std::string JoyNameOf[5];
extern int JoyButtonMask[5];            // the platform's 2^buttons − 1
extern float JoyRest[5][AxisCount];     // axis readings at start-up
extern int JoyEnabled[5];               // toggled by the settings screen
extern int JoyHasHat[5];                // 1 when the hat read −1 at start-up

// Every global above back to its start-up value.
void InitInputGlobals();

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
