// game_info.h — what a game tells the framework about itself, and the state
// of the game running on it that every screen shares.
//
// A game registers once at start-up, before anything else runs: its identity
// (window title, log header, game folder, score key) and the hooks through
// which the framework calls it back. The framework never includes a game's
// own headers; everything it needs from the game comes through here.
#pragma once

#include <string>

// ---------------------------------------------------------------------------
// Registration
// ---------------------------------------------------------------------------
struct GameInfo {
    int week = 0;              // the game's number: window title, log, game folder ("283/")
    std::string title;         // shown in the window title and the screenshot names
    std::string subtitle;      // "" when none
    std::string description;   // read only by the score key (scores/scores.h)

    // Hooks; nullptr for a game that has nothing to do there.
    // The game's own assets: called by ApplyGraphics after the common ones,
    // with the game folder current.
    void (*loadGameAssets)() = nullptr;
    // The saved games: called at the end of LoadCommonAssets.
    void (*loadScores)() = nullptr;
    // The saved games written back by the closing screen; false when they
    // could not be saved (the screen then shows the notices).
    bool (*saveScores)() = nullptr;
};

// Takes the game's identity into the globals below (WindowTitle from them)
// and keeps its hooks.
void RegisterGame(const GameInfo& game);
// The registration as RegisterGame took it (empty before).
const GameInfo& RegisteredGame();

// ---------------------------------------------------------------------------
// Identity (set by RegisterGame)
// ---------------------------------------------------------------------------
extern int WeekNumber;            // window title, log, game folder name
extern std::string GameTitle;
extern std::string GameSubtitle;
extern std::string WindowTitle;   // "#283 : Flingo " (ends in a blank when no subtitle)
extern std::string GameDescription;

// ---------------------------------------------------------------------------
// Screen and game state (set to these values by InitFrameworkGlobals)
// ---------------------------------------------------------------------------
extern int PlayState;     // = 0; 0 menus, 1 round running, 2 pause menu open
extern int MouseMode;     // = 0; 1: the game is played with the mouse
extern int ControlCount;  // = 0; players whose binding groups are drawn
extern int BadgeCount;    // = 0; badges the game awards (cells of BadgeImages)
extern int CurGameMode;   // = 0; 0 Easy, 1 Medium, 2 Hard
extern int CurScore, CurLevel, CurGameFlags, CurBadges;  // = 0; the game being played
extern int CurBest[31];   // = 0; per-round bests, entries 1..30

// ---------------------------------------------------------------------------
// Start-up
// ---------------------------------------------------------------------------
// Every global of the framework and the libraries below it back to its
// start-up value (a test that runs start-up again starts clean): folders,
// settings, draw state, bindings, music and sound channels, the state above,
// graphics, frame-end and panel state, notices, audio back ends. Leaves the
// registration as it is.
void InitFrameworkGlobals();
