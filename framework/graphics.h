// graphics.h — opening the display from Settings and (re)loading every
// shared asset.
#pragma once

#include <string>

#include "platform/platform.h"

// ---------------------------------------------------------------------------
// Window and resolution list (set to these values by InitFrameworkGlobals)
// ---------------------------------------------------------------------------
extern int WindowWidth, WindowHeight;  // real window pixels; = 800 × 600 before the first opening
extern int GraphicsOpened;             // = 0 until the display has been opened once
extern int ModeWidth[2500], ModeHeight[2500];  // offered sizes, entries 1..ModeCount (= 0)
extern int ModeCount;

// ---------------------------------------------------------------------------
// Shared fonts, images and sounds (= none until LoadCommonAssets)
// ---------------------------------------------------------------------------
extern float FontScale, FontScaleSmall;  // = 1; chosen from WindowWidth
extern std::string MainFontName;         // = ""; "SVBasicManual", "November" above 800 wide
extern Font FontByRole[20];              // entries 1..13 by purpose
extern Font FontBySize[100];             // (family − 1) × 10 + slot, slot 0..8
extern Image IconImage, IconImageCrisp;  // 64 cells of 16 × 16; filtered / crisp
extern Image EngineLogo, SiteLogo;       // the engine test's two logos
extern Image BadgeImages;                // 16 cells of 64 × 64
extern Sound BadgeSound;                 // "open.ogg"
extern Sound SfxTable[201];              // effect n = "nnn.wav", 1..200

// Makes FontBySize[(family − 1) × 10 + slot] current; family 1..3, slot 0..8.
void SetFont(int family, int slot);

// Builds the resolution list, picks the renderer, opens the window or full
// screen, sets the virtual area, then LoadCommonAssets and the game's
// loadGameAssets hook (framework/game_info.h).
// Called with the game folder current; leaves it current.
void ApplyGraphics();
// Fonts, icons, logos, the opening sound, badges, numbered effects, then the
// game's loadScores hook.
void LoadCommonAssets();

// Step 1 and 2 of ApplyGraphics: ModeWidth/ModeHeight/ModeCount from the
// platform's modes; Settings[4..6] and WindowWidth/Height from the request.
void BuildResolutionList();
// Step 11: ScreenWidth/ScreenHeight and Settings[2] from the window's shape;
// logs the widescreen lines. Does not call SetVirtualResolution.
void ChooseVirtualArea();
// FontScale, FontScaleSmall and MainFontName from WindowWidth.
void ChooseFontScale();
// Font files and pixel sizes as LoadCommonAssets loads them, after
// ChooseFontScale: FontByRole entry 1..13, FontBySize family 1..3, slot 0..8.
std::string FamilyFontFile(int family);
std::string RoleFontFile(int role);
int RoleFontSize(int role);
int SlotFontSize(int slot);
