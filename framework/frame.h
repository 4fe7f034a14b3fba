// frame.h — the service that ends every frame of every screen: score numbers,
// Tab, screenshots, the pause menu, the overlay, the pointer, 60 fps pacing,
// notices, showing the frame, the frame-rate figure and the way out.
#pragma once

#include <cstdint>
#include <string>

// ---------------------------------------------------------------------------
// Frame-end state (set to these values by InitFrameworkGlobals)
// ---------------------------------------------------------------------------
extern int TargetFps;           // = 0; the rate the engine test settled on
extern int OverlayOn;           // = 1; F12 toggles the debug overlay
extern uint32_t LastFrameTime;  // = 0; MilliSecs() when the previous frame was shown
extern int MeasuredFps;         // = 0; smoothed frames per second
extern int LastCollection;      // = 0; latest forced collection result (always 0 here)

// rate and flag are the caller's (pacing always aims at 60 fps); showPointer
// 1 draws the pointer icon. Returns 0, or the pause menu's 1 (continue) or
// 99 (quit) when it was opened during this call.
int FrameEnd(int rate, int flag, int showPointer);
// While true, the session ending (SIGTERM) does not leave from FrameEnd: the
// screen that set it finishes its work first (name entry lets the game be
// filed) and then leaves through ClosingScreen itself.
extern bool FrameEndDefersTermination;
// The pause menu over a snapshot of the frame; 1 continue, 99 quit.
int PauseMenu();
// Saves the back buffer as a PNG in "Files/" and announces it.
void TakeScreenshot();
// The text without the characters # ' , ` . \ / : | * ? and ".
std::string SanitizeFileName(const std::string& text);
