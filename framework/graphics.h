// graphics.h — opening the display from Settings and (re)loading every
// shared asset.
#pragma once

#include <string>

// Builds the resolution list, picks the renderer, opens the window or full
// screen, sets the virtual area, then LoadCommonAssets and LoadGameAssets.
// Called with the game folder current; leaves it current.
void ApplyGraphics();
// Fonts, icons, logos, the opening sound, badges, numbered effects, scores.
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
