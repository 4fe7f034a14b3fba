// sequencer.cpp — song playback: bars and phrases, the line picker with its
// salts, stretching, sit-outs and fills, and the notes struck on the music
// slots 0..4 of SfxChannels.
//
// Every choice is drawn from the platform generator right after a reseed
// derived from SongSeed and the bar counters, in a fixed order, so a seed
// always gives the same piece (and the other users of the generator see
// sequences that depend on the music while it plays).
#include <algorithm>
#include <functional>
#include <iterator>

#include "music/music.h"
#include "music/sequencer_internal.h"
#include "settings/settings.h"

Channel SfxChannels[260];

int SongSeed = 0;
int StepMs = 0;
float MusicSpread = 0.3f;
bool MusicPlaying = false;
int MusicStep = -1;
int BarInPhrase = -1;
int BarsPlayed = -1;
uint32_t NextStepTime = 0;
std::string ChordLine;
std::string TrackLine[5];
float StepValues[5][64];
int InstrumentPick[3] = {0, 0, 0};
int NextBits[20];
int SitOut[20];
int FillKind[20];

namespace {

constexpr int kStepsPerBar = 64;
constexpr int kStepsPerChord = 16;  // one chord key per quarter bar
constexpr int kMusicSlots = 20;     // SfxChannels 0..19 belong to the music

// Salts of the line picker, one per line, so the five picks of a phrase
// draw from different points of the sequence.
constexpr int kChordSalt = 13;
constexpr int kDrum1Salt = 3;
constexpr int kDrum2Salt = 7;
constexpr int kBassSalt = 13;
constexpr int kMelodySalt = 19;
constexpr int kAccompanySalt = 29;

std::function<void(const StruckNote&)> g_noteHook;

int BarSeed() { return music::Wrap(int64_t{SongSeed} * 1024 + BarInPhrase + BarsPlayed); }

// Each character followed by a space: the line plays at half speed.
std::string Stretched(const std::string& line) {
    std::string out;
    out.reserve(line.size() * 2);
    for (char c : line) {
        out += c;
        out += ' ';
    }
    return out;
}

// The line at position `index` of section s; "" for a position outside the
// lines kept (a section with no lines, or with more than MaxSongLines).
const std::string& SongLine(int section, int index) {
    static const std::string kNone;
    const auto& lines = SongLines[section];
    return index >= 1 && index < static_cast<int>(lines.size()) ? lines[index] : kNone;
}

std::string PickLine(int section, int salt) {
    SeedRnd(music::Wrap(int64_t{BarSeed()} + salt));
    const int discard = BarsPlayed * 4 + salt;
    for (int i = 0; i < discard; ++i) Rand(0, 1000);
    std::string line = SongLine(section, Rand(1, SongLineCount[section]));
    if (section == SectionChords) return line;

    const int r = Rand(0, 2);
    const int mode = StretchMode[section];
    if ((mode > 0 && r > 0) || mode < 0) {
        line = Stretched(line);
        if ((mode == 2 && r == 2) || mode == -2) line = Stretched(line);
    }
    return line;
}

void StartPhrase() {
    for (int set = 0; set < 3; ++set) InstrumentPick[set] = Rand(1, InstrumentCount[set]);
    BarInPhrase = 1;
    ChordLine = PickLine(SectionChords, kChordSalt);
    for (int t = 0; t < 20; ++t) {
        SitOut[t] = NextBits[t];
        NextBits[t] = Rand(0, 1);
        FillKind[t] = Rand(1, 2);
    }
    // At least one drum kit and one of bass and melody always play.
    if (SitOut[0] != 0 && SitOut[1] == 1) SitOut[Rand(0, 1)] = 0;
    if (SitOut[2] != 0 && SitOut[3] != 0) SitOut[Rand(2, 3)] = 0;

    TrackLine[0] = PickLine(SectionDrums, kDrum1Salt);
    TrackLine[1] = PickLine(SectionDrums, kDrum2Salt);
    TrackLine[2] = PickLine(SectionBass, kBassSalt);
    TrackLine[3] = PickLine(SectionMelody, kMelodySalt);
    TrackLine[4] = PickLine(SectionAccompany, kAccompanySalt);
}

void FillStepValues() {
    // An empty line (a section without lines, or an empty quoted line) has no
    // steps to wrap around: the track rests for the whole bar.
    for (int t = 0; t < 2; ++t) {
        const std::string& line = TrackLine[t];
        for (int i = 0; i < kStepsPerBar; ++i) {
            StepValues[t][i] = 0;
            if (line.empty()) continue;
            const char c = line[i % line.size()];  // drum lines restart every bar
            if (c >= '0' && c <= '9') StepValues[t][i] = static_cast<float>(c - '0');
        }
    }
    for (int t = 2; t < 5; ++t) {
        const std::string& line = TrackLine[t];
        for (int i = 0; i < kStepsPerBar; ++i) {
            StepValues[t][i] = 0;
            if (line.empty()) continue;
            // Melodic lines run on across the bars of a phrase.
            const int64_t k = (int64_t{i} + int64_t{BarInPhrase - 1} * kStepsPerBar) %
                              static_cast<int64_t>(line.size());
            const char c = line[k];
            if (c != ' ') StepValues[t][i] = NoteRate(std::string(1, c));
        }
    }
}

void Strike(int track, int sample, float rate, bool setRate, float pan, bool setPan,
            float volume) {
    Channel& slot = SfxChannels[track];
    if (slot != 0 && ChannelPlaying(slot)) {
        StopChannel(slot);
        slot = 0;
    }
    slot = AllocChannel();
    const Sound& sound = sample >= 0 && sample < 50 ? MusicSample[sample] : MusicSample[0];
    if (CueSound(sound, slot) == 0) return;  // no sample or no channel: a silent note
    if (setPan) SetChannelPan(slot, pan);
    if (setRate) SetChannelRate(slot, rate);
    SetChannelVolume(slot, volume);
    ResumeChannel(slot);
    if (g_noteHook) g_noteHook({track, sample, setRate ? rate : 1.0f, setPan ? pan : 0.0f, volume});
}

}  // namespace

namespace music {

void StartBar() {
    SeedRnd(BarSeed());
    ++BarsPlayed;
    ++BarInPhrase;
    const int chordKeys = static_cast<int>(ChordLine.size());
    if (chordKeys == 0 || BarInPhrase > chordKeys / 4) StartPhrase();
    FillStepValues();
}

}  // namespace music

void MusicUpdate() {
    if (!MusicPlaying) return;
    if (static_cast<int32_t>(NextStepTime - MilliSecs()) >= 0) return;  // wraps at 2^32
    NextStepTime += static_cast<uint32_t>(StepMs);

    if (++MusicStep >= kStepsPerBar) {
        MusicStep = 0;
        music::StartBar();
    }

    // Where the step lies in the phrase: the last 8 steps are fill 2, the 8
    // before them fill 1. Only chord lines whose length is a multiple of 4
    // reach either, since both comparisons use the whole line length.
    const int chordKeys = static_cast<int>(ChordLine.size());
    const int bar = BarInPhrase - 1;
    int fill = 0;
    if (MusicStep / 8 + bar * 8 >= 2 * chordKeys - 1) fill = 2;
    const int chord = MusicStep / kStepsPerChord + bar * 4;
    const float chordRate = NoteRate(Mid(ChordLine, chord + 1, 1));
    if (chord >= chordKeys - 1 && fill == 0) fill = 1;

    const float volume = static_cast<float>(Settings[13]) * static_cast<float>(Settings[11]) / 10000.0f;
    for (int t = 0; t < 5; ++t) {
        int out = SitOut[t];
        // A track that plays again next phrase comes in early with the fill.
        if (out == 1 && NextBits[t] == 0 && ((fill == 1 && FillKind[t] == 1) || fill == 2)) out = 0;
        if (out != 0) continue;

        const float v = StepValues[t][MusicStep];
        if (t < 2) {
            const int drum = static_cast<int>(v);
            if (drum < 1 || drum > 8) continue;
            Strike(t, drum + 10 * t, 1, false, t == 0 ? MusicSpread : -MusicSpread, true, volume);
        } else {
            // No chord key to play against (no chords, a blank or an unknown
            // key) leaves the track silent for the step like an empty one:
            // a note struck at rate 0 would hold its channel without a sound.
            if (v == 0 || chordRate == 0) continue;
            const int sample = 10 * t + InstrumentPick[t - 2];
            const float rate = v * chordRate;
            switch (t) {
            case 2: Strike(t, sample, rate, true, -MusicSpread, true, volume); break;
            case 3: Strike(t, sample, rate, true, 0, false, volume); break;
            default: Strike(t, sample, rate, true, MusicSpread, true, volume / 2); break;
            }
        }
    }
}

void StopMusic() {
    MusicPlaying = false;
    for (int slot = 0; slot < kMusicSlots; ++slot) {
        if (SfxChannels[slot] != 0 && ChannelPlaying(SfxChannels[slot])) StopChannel(SfxChannels[slot]);
        SfxChannels[slot] = 0;
    }
}

void ResetMusicState() {
    MusicPlaying = false;
    for (Sound& s : MusicSample) s.reset();
    for (int& count : InstrumentCount) count = 0;
    ParseSongLines({});  // no lines: every section empty, default stretch
    SongSeed = 0;
    StepMs = 0;
    MusicSpread = 0.3f;
    MusicStep = BarInPhrase = BarsPlayed = -1;
    NextStepTime = 0;
    ChordLine.clear();
    for (std::string& line : TrackLine) line.clear();
    for (auto& steps : StepValues)
        for (float& v : steps) v = 0;
    for (int& pick : InstrumentPick) pick = 0;
    for (int t = 0; t < 20; ++t) NextBits[t] = SitOut[t] = FillKind[t] = 0;
}

void InitMusicGlobals() {
    std::fill(std::begin(SfxChannels), std::end(SfxChannels), 0);
    ResetMusicState();
}

void SetMusicNoteHook(std::function<void(const StruckNote&)> hook) { g_noteHook = std::move(hook); }
