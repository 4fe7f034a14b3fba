// music.h — the framework's music player: sample sets, song files and the
// step sequencer that turns them into notes.
//
// A song file ("music/<name>.ini", read from the game folder) lists pattern
// lines for five sections. The player steps through 64-step bars on the
// platform clock; every phrase it picks new lines at random, lets some tracks
// sit out and brings them back with a fill. Every random choice reseeds the
// platform's generator from the song seed, so one seed always gives the same
// piece. Five tracks: 0 drum kit 1, 1 drum kit 2, 2 bass, 3 melody,
// 4 accompaniment; track t sounds on SfxChannels[t] (slots 0..19 are the
// music's, 20..255 the effects').
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

// ---------------------------------------------------------------------------
// Sound channels (shared with the framework's sound effects)
// ---------------------------------------------------------------------------
// = 0 (none). 0..19 the music's (track t on slot t), 20..255 the rotating
// effect channels of PlaySfx (framework/sound.h), 256 the opening sound.
extern Channel SfxChannels[260];
// The volumes come from Settings[11] (master) and Settings[13] (music).

// ---------------------------------------------------------------------------
// Sample sets
// ---------------------------------------------------------------------------
// MusicSample[10·k + n] is sample n (1..8) of set k: 0 drum kit 1 ("d1-n"),
// 1 drum kit 2 ("d2-n"), 2 bass, 3 lead, 4 accompany. Entries not loaded are none.
extern Sound MusicSample[50];
// Set sizes of bass, lead and accompany: the highest n whose file exists
// (0 when none does); a gap below it leaves that entry none.
extern int InstrumentCount[3];

// Fills both tables from "music/" in the current folder. Writes no log lines.
void LoadMusicSamples();

// ---------------------------------------------------------------------------
// Song tables (filled by LoadSong, kept after StopMusic)
// ---------------------------------------------------------------------------
enum : int {
    SectionDrums = 0,
    SectionChords = 1,
    SectionBass = 2,
    SectionMelody = 3,
    SectionAccompany = 4,
    SectionCount = 5,
    MaxSongLines = 998,  // pattern lines kept per section, numbered 1..998
};

// SongLines[s][k] is line k (1-based; entry 0 unused) of section s.
extern std::vector<std::string> SongLines[SectionCount];
// Pattern lines read per section; may exceed the lines kept.
extern int SongLineCount[SectionCount];
// −1 stretch once always (default), 0 never, 1 once two times in three,
// 2 none / once / twice at random, −2 twice always. CHORDS lines never stretch.
extern int StretchMode[SectionCount];

// ---------------------------------------------------------------------------
// Player state
// ---------------------------------------------------------------------------
extern int SongSeed;
extern int StepMs;          // milliseconds per step; a bar is 64 steps
extern float MusicSpread;   // pan offset of the side tracks, 0.3 after LoadSong
extern bool MusicPlaying;
extern int MusicStep;       // step in the bar, 0..63; −1 before the first
extern int BarInPhrase;     // 1 for the first bar of a phrase
extern int BarsPlayed;      // bars started since LoadSong; −1 before the first
extern uint32_t NextStepTime;  // MilliSecs() after which the next step plays
extern std::string ChordLine;  // the phrase's CHORDS line; its length sets the phrase
// The five current pattern lines, by track.
extern std::string TrackLine[5];
// Per track, the content of every step of this bar: a drum number (0 none)
// for tracks 0 and 1, a pitch factor (0 no note) for tracks 2..4.
extern float StepValues[5][64];
extern int InstrumentPick[3];  // bass, lead, accompany sample for this phrase
// Indexed by track (0..4 used, all 20 drawn so the random sequence is fixed).
extern int NextBits[20];  // 1: the track sits out the next phrase
extern int SitOut[20];    // 1: the track sits out this phrase
extern int FillKind[20];  // 1: comes back in 16 steps before the phrase ends, 2: in 8

// ---------------------------------------------------------------------------
// Operations
// ---------------------------------------------------------------------------
// Empties every table above and turns the player off (start-up).
void ResetMusicState();
// Start-up: every channel slot forgotten (none), then ResetMusicState.
void InitMusicGlobals();
// Reads "music/" + name + ".ini" and starts it; the first step sounds 250 ms
// later. seed −1 takes the clock as seed. tempoMs is two steps. When the file
// is missing, nothing changes (a song already playing goes on).
void LoadSong(const std::string& name, int seed, int tempoMs);
// Parses song text lines into the song tables (exposed for tests and tools).
void ParseSongLines(const std::vector<std::string>& lines);
void SetMusicSpread(float pan);
// Called once per frame; plays at most one step per call, so late frames
// slow the music instead of bunching notes.
void MusicUpdate();
// Turns the player off, stops every music channel and empties slots 0..19.
void StopMusic();
// Pitch factor of a note key (case-insensitive): q = 1, equal temperament
// over a piano laid on the keyboard, z = 0.5 the lowest. 0 for anything else.
float NoteRate(const std::string& key);

// ---------------------------------------------------------------------------
// Observation (tools and tests)
// ---------------------------------------------------------------------------
struct StruckNote {
    int track;     // 0..4
    int sample;    // MusicSample index played (1..48)
    float rate;    // 1 for drums, whose rate is left alone
    float pan;     // 0 for the melody, whose pan is left alone
    float volume;  // as set on the channel, before the mixer clamps it
};
// Called for every note that got a channel, in the order struck; empty = none.
void SetMusicNoteHook(std::function<void(const StruckNote&)> hook);
