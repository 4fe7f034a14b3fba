// globals.h — the shared state of the game and its framework.
//
// Every global lives for the whole run. InitGlobals (app/app.h) sets all of
// them to their start-up values, so a test that runs start-up again starts
// clean. Tables numbered from 1 are sized one larger and entry 0 is unused.
// Strings hold one byte per character (Latin-1).
#pragma once

#include <cstdint>
#include <list>
#include <string>

#include "game/effects.h"
#include "platform/platform.h"

// ---------------------------------------------------------------------------
// Game identity
// ---------------------------------------------------------------------------
extern int WeekNumber;            // = 283; window title, log, game folder name
extern std::string GameTitle;     // = "Flingo"
extern std::string GameSubtitle;  // = ""
extern std::string WindowTitle;   // "#283 : Flingo " (ends in a blank when no subtitle)
extern std::string PlayerName;    // = "Player"; set by name entry
extern std::string AboutLines[100];  // About page, entries 1..29 used

// ---------------------------------------------------------------------------
// Settings and controls
// ---------------------------------------------------------------------------
// Settings[i]: 1 full screen, 2 widescreen, 3 renderer (0 OpenGL, 1 DX9,
// 2 DX7), 4 resolution position (1-based), 5 width, 6 height, 7 slow system,
// 11 master, 12 sound, 13 music volume (percent), 14 audio driver position.
extern int Settings[100];
// KeyBindings[(player − 1) × 20 + control]: binding code, 0 = unbound.
extern int KeyBindings[101];

// ---------------------------------------------------------------------------
// Screen and game state
// ---------------------------------------------------------------------------
extern int PlayState;     // 0 menus, 1 round running, 2 pause menu open
extern int MouseMode;     // 1: the game is played with the mouse
extern int ControlCount;  // = 4; players whose binding groups are drawn
extern int BadgeCount;    // = 16
extern int CurGameMode;   // 0 Easy, 1 Medium, 2 Hard
extern int CurScore, CurLevel, CurGameFlags, CurBadges;
extern int CurBest[31];   // per-round bests, entries 1..30

// ---------------------------------------------------------------------------
// Window, virtual area and resolution list
// ---------------------------------------------------------------------------
extern int ScreenWidth, ScreenHeight;  // virtual drawing area (1280 × 960 ...)
extern int WindowWidth, WindowHeight;  // real window pixels; 800 × 600 before the first run
extern int GraphicsOpened;             // 0 until the display has been opened once
extern int ModeWidth[2500], ModeHeight[2500];  // offered sizes, entries 1..ModeCount
extern int ModeCount;

// ---------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------
extern int DrawLimit[20];  // per-frame budgets: 1 images, 2 glow, 3 particles
extern int DrawCount[20];  // draws made this frame, zeroed by BeginFrame
extern float BackdropColor[3];   // r, g, b multipliers shown now
extern float BackdropTarget[3];  // where BackdropColor eases to

// ---------------------------------------------------------------------------
// Fonts, images, sounds
// ---------------------------------------------------------------------------
extern float FontScale, FontScaleSmall;  // chosen from WindowWidth
extern std::string MainFontName;         // "SVBasicManual", "November" above 800 wide
extern Font FontByRole[20];              // entries 1..13 by purpose
extern Font FontBySize[100];             // (family − 1) × 10 + slot, slot 0..8
extern Image IconImage, IconImageCrisp;  // 64 cells of 16 × 16; filtered / crisp
extern Image EngineLogo, SiteLogo, LogoImage;
extern Image BadgeImages;                // 16 cells of 64 × 64
extern Sound BadgeSound;                 // "open.ogg"
extern Sound SfxTable[201];              // effect n = "nnn.wav", 1..200
extern Channel SfxChannels[260];         // 20..255 effects, 256 the opening sound
extern int SfxCursor;                    // last effect channel used, 20..255

// ---------------------------------------------------------------------------
// Frame-end service
// ---------------------------------------------------------------------------
extern int TargetFps;         // the rate the engine test settled on
extern int OverlayOn;         // = 1; F12 toggles the debug overlay
extern int SettingsOpen;      // Tab toggles the settings panel
// The settings panel's slide position: −300 hidden, resting at +20 when
// open; the panel counts as out of the way while it is below −250.
extern int PanelOffset;
extern int PanelClickLeft, PanelClickRight;  // mouse hits taken by the panel this frame
extern int SkipFrame;         // 0, 1, 0, 1 ... one step per FrameEnd
extern uint32_t LastFrameTime;  // MilliSecs() when the previous frame was shown
extern int MeasuredFps;       // smoothed frames per second
extern int LastCollection;    // latest forced collection result (always 0 here)
extern int MouseXNow, MouseYNow, MouseXPrev, MouseYPrev;  // pointer, virtual pixels

// ---------------------------------------------------------------------------
// Joysticks (ports 1..4; taken once at start-up)
// ---------------------------------------------------------------------------
// The number of attached joysticks, at most 4. (The platform's JoyCount()
// is the live count; this is the one the bindings use for the whole run.)
extern int JoyPortCount;
enum JoyAxis { AxisX = 0, AxisY, AxisZ, AxisU, AxisV, AxisR, AxisCount };
extern std::string JoyNameOf[5];
extern int JoyButtonMask[5];            // the platform's 2^buttons − 1
extern float JoyRest[5][AxisCount];     // axis readings at start-up
extern int JoyEnabled[5];               // toggled by the settings screen
extern int JoyHasHat[5];                // 1 when the hat read −1 at start-up

// ---------------------------------------------------------------------------
// Effect lists (game/effects.h); iterated in insertion order, an update loop
// may remove the record it is on.
// ---------------------------------------------------------------------------
extern std::list<Particle> ParticleList;
extern std::list<Announcement> AnnouncementList;
extern std::list<PopScore> PopScoreList;
