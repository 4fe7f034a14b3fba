// sound.h — the sound effects every screen plays.
#pragma once

// The last effect channel used, 20..255 (= 20); the next effect takes the
// one after it, so an effect is cut off only 236 effects later.
extern int SfxCursor;

// Sound effect n (1..200, SfxTable of framework/graphics.h) on the rotating
// channels 20..255 of SfxChannels (music/music.h). rate 0.25..4, volume 0..1
// (scaled by the master and sound volumes), pan −1..1. Silent while the
// sound volume is 0.
void PlaySfx(int n, float rate = 1, float volume = 1, float pan = 0);
