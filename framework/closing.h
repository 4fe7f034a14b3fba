// closing.h — the program's only way out: saves the settings and the scores,
// writes the farewell lines to the log, shows the thanks page, waits for every
// input to be released and one to be pressed, and ends the program.
#pragma once

// Never returns: ends with EndProgram(0). Entered from start-up after the
// title loop, and from FrameEnd on a close request or Alt+F4.
[[noreturn]] void ClosingScreen();

// The thanks page as ClosingScreen draws it (one frame, not shown).
void DrawThanksPage();
// True while any input that the closing screen waits on is held: a key or a
// joystick input (ScanInput), mouse button 1 or 2, Alt+F4, or a close request.
bool ClosingInputHeld();
