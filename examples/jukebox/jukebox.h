// jukebox.h — an example game on the framework: lists the songs of its music
// folder, plays the chosen one through the sequencer, and has everything else
// a framework game has (settings panel on Tab, screenshots on F11, the debug
// overlay on F12, the closing screen on Escape or a close request).
//
// It uses the libraries up to framework/ only; nothing of Flingo's own.
#pragma once

#include <string>
#include <vector>

#include "framework/game_info.h"

// The jukebox as the framework sees it: identity (game folder "001/") and
// its one hook, which loads the music samples and finds the songs.
GameInfo JukeboxGame();

// Start-up, the song list, the closing screen; never returns (the program
// ends in the closing screen).
void JukeboxMain();

// One row of the list: a song in one of its takes (the seed the sequencer
// draws every choice from, so each take is a different piece).
struct JukeboxRow {
    std::string song;  // "music/<song>.ini" in the game folder
    int take = 1;      // 1..JukeboxTakes, the seed
};
constexpr int JukeboxTakes = 3;
// The rows on show, in file-name order; filled by the asset hook.
extern std::vector<JukeboxRow> JukeboxRows;
// The row playing, −1 when none.
extern int JukeboxPlaying;
