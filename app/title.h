// title.h — the title screen, the program's home loop: logo, difficulty
// choice, the start prompt, the side panel with its tabs (local scores,
// About) and the corner notes. A round started here returns to it.
#pragma once

#include <functional>
#include <string>

#include "platform/platform.h"

// Runs the title loop until Escape is pressed there (with its latch clear),
// then returns; start-up runs the closing screen next.
void TitleScreen();
void RunTitleScreen();  // the same loop

// The key-play start prompt (MouseMode 0): "Press Start (" + the name of
// the input bound to player 1's control 10 + ") To Begin"; "?!" when unbound.
std::string StartPromptText();

// The game's logo above the difficulty choice (= none until LoadGameAssets).
extern Image LogoImage;

// Title frames shown since start-up; lets a driver tell the title from the
// other screens that also run with PlayState 0.
extern int TitleFramesShown;

// The loop's own state, created once when the loop starts.
struct TitleState {
    int slide = 0;       // 0..32; elements are offset by 800 − 25 × slide
    int tab = 0;         // 0 "1.Hiscore", 1 "2.Online", 2 "3.About"
    int clickLatch = 0;  // a tab or difficulty choice until mouse and tab keys are up
    int startHeld = 0;   // a start input was held in the previous frame
    int startLatch = 0;  // after a round and a key-driven difficulty change
    int escapeLatch = 0; // after a round, until Escape is up
    int quit = 0;
};

// One title frame (drawing, input, FrameEnd). Returns true when the loop
// should end. Starting a round calls the round hook (PlayRound by default).
bool TitleFrame(TitleState& state);
// Replaces the round that a start runs (tests); an empty function restores
// PlayRound.
void SetTitleRoundHook(std::function<void()> hook);
