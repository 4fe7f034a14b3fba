// settings.h — the user settings every layer reads: display, renderer, frame
// skip, volumes and the audio back end. "Setup.ini" (framework/setup.h) reads
// and writes them; the settings panel edits them in place.
#pragma once

// Settings[i], unset entries 0:
//   1 full screen (= 0), 2 widescreen (chosen from the window's shape),
//   3 renderer (0 OpenGL, 1 DX9, 2 DX7), 4 resolution position (1-based),
//   5 width (= 800), 6 height (= 600) requested, real window pixels,
//   7 slow system (= 0; 1 skips drawing every other frame),
//   11 master, 12 sound, 13 music volume (= 50 each, percent),
//   14 audio back-end position (1-based, in AudioDriverList).
extern int Settings[100];

// Every entry 0, then the defaults above; "Setup.ini" is read later.
void InitSettings();
