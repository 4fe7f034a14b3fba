// app.h — the program's spine: start-up, the shared sound-effect player, the
// font selector and the game's asset hook.
#pragma once

#include <string>

// Start-up (17 steps), the title loop and the closing screen; never returns.
void Main();
// Sets every global of app/globals.h to its start-up value (step 2 and 4).
void InitGlobals();
// The game folder's name: the week number as three digits and "/" ("283/").
std::string GameFolder();
// Sound effect n (1..200) on the rotating channels 20..255. rate 0.25..4,
// volume 0..1 (scaled by the master and sound volumes), pan −1..1.
void PlaySfx(int n, float rate = 1, float volume = 1, float pan = 0);
// Makes FontBySize[(family − 1) × 10 + slot] current; family 1..3, slot 0..8.
void SetFont(int family, int slot);
// The game's own assets, loaded by ApplyGraphics after the common ones.
void LoadGameAssets();
