// app.h — the program's spine: Flingo's registration with the framework,
// the start-up order and the game's asset hook.
#pragma once

#include "framework/game_info.h"

// Start-up (17 steps), the title loop and the closing screen; never returns.
void Main();
// Sets every global to its start-up value (step 2 and 4): each library's own
// init, lowest first, with Flingo registered with the framework.
void InitGlobals();
// Flingo as the framework sees it: identity and hooks.
GameInfo FlingoGame();
// The game's own assets, loaded by ApplyGraphics after the common ones.
void LoadGameAssets();
