// settings_screen.h — the settings panel that slides down over any screen.
//
// FrameEnd calls SettingsScreen on every frame, so Tab opens the panel on the
// title, in a round, in the pause menu, in name entry and during the engine
// benchmark. It edits Settings in place: window or full screen, resolution,
// frame skip, renderer, audio back end, the three volumes and the joysticks;
// "Apply" saves the setup file and applies the graphics again.
#pragma once

#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// Panel state (set to these values by InitFrameworkGlobals)
// ---------------------------------------------------------------------------
extern int SettingsOpen;  // = 0; Tab toggles the settings panel
// = −300: the slide position, −300 hidden, resting at +20 when open; the
// panel counts as out of the way while it is below −250.
extern int PanelOffset;
extern int PanelClickLeft, PanelClickRight;  // = 0; mouse hits taken by the panel this frame

// One frame of the panel: takes the mouse-hit samples, slides PanelOffset
// (+32 / −32 a frame between −300 and +20) and, unless hidden, draws and
// handles every row.
void SettingsScreen();

// An icon and a one- or two-line label ("first|second") that cycles
// Settings[index] through its options on a left click. y is panel-relative.
// label0 "AUDIO" stands for the audio back ends. Returns 1 while the pointer
// is over the row.
int OptionRow(int index, int x, int y, int iconBase, const std::string& label0,
              const std::string& label1 = "", const std::string& label2 = "",
              const std::string& label3 = "", const std::string& label4 = "",
              const std::string& label5 = "");

// A 0..100 slider at (x, y) (y panel-relative), dragged with the left button;
// returns the new value (1..99 while dragged, the value itself otherwise).
int VolumeSlider(int value, int x, int y, const std::string& label);

// A slider result below 6 becomes 0 and above 94 becomes 100.
int SnapVolume(int value);

// The audio row's labels: "Audio Driver|" and a name, for each back end that
// exists, at most the first six.
std::vector<std::string> AudioRowLabels();
