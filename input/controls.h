// controls.h — polling the control bindings of KeyBindings (app/globals.h).
//
// Codes: 1..255 keys (only 10..254 can read as held); 300 + 50 × (port − 1)
// + s for joystick port 1..4 with s: 0..11 axis directions (Y−, Y+, X−, X+,
// Z−, Z+, U−, U+, V−, V+, R−, R+), 20/25/28/23 hat up/right/down/left,
// 30 + b button b.
#pragma once

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
