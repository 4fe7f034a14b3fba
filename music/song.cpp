// song.cpp — the sample sets, the song-file parser, LoadSong and the note
// table. The sequencer itself is in sequencer.cpp.
#include <cstdint>

#include "music/music.h"
#include "music/sequencer_internal.h"

Sound MusicSample[50];
int InstrumentCount[3] = {0, 0, 0};

std::vector<std::string> SongLines[SectionCount];
int SongLineCount[SectionCount] = {0, 0, 0, 0, 0};
int StretchMode[SectionCount] = {-1, -1, -1, -1, -1};

namespace {

constexpr int kFirstStepDelayMs = 250;
constexpr float kDefaultSpread = 0.3f;

// Set k's sample n, as the loader names it ("music/bass3.wav").
std::string SamplePath(const char* stem, int n) {
    return std::string("music/") + stem + Str(int64_t{n}) + ".wav";
}

}  // namespace

void LoadMusicSamples() {
    // Every set-up reloads the tables from scratch, so a file removed since
    // the previous set-up does not linger.
    for (Sound& s : MusicSample) s.reset();
    for (int& count : InstrumentCount) count = 0;

    static const char* const kMelodic[3] = {"bass", "lead", "accompany"};
    for (int n = 1; n <= 8; ++n) {
        MusicSample[n] = LoadSound(SamplePath("d1-", n), 0);
        MusicSample[10 + n] = LoadSound(SamplePath("d2-", n), 0);
        for (int set = 0; set < 3; ++set) {
            const std::string path = SamplePath(kMelodic[set], n);
            if (FileType(path) != 1) continue;
            MusicSample[(set + 2) * 10 + n] = LoadSound(path, 0);
            InstrumentCount[set] = n;
        }
    }
}

void ParseSongLines(const std::vector<std::string>& lines) {
    for (int s = 0; s < SectionCount; ++s) {
        SongLines[s].assign(1, std::string());  // entry 0 unused: lines count from 1
        SongLineCount[s] = 0;
        StretchMode[s] = -1;
    }
    static const char* const kHeaders[SectionCount] = {"[DRUMS", "[CHORDS", "[BASS", "[MELODY",
                                                       "[ACCOMPANY"};
    int section = -1;
    for (const std::string& raw : lines) {
        const std::string line = Trim(raw);
        if (Left(line, 1) == "[") {
            // "[Drums]" selects; "[Drums2]" or "[Drums]x" leave the section as it was.
            const std::string header = Replace(Upper(line), "]", "");
            for (int s = 0; s < SectionCount; ++s)
                if (header == kHeaders[s]) section = s;
            continue;
        }
        if (section < 0) continue;
        const std::string upper = Upper(line);
        if (Left(upper, 7) == "STRETCH") {
            // Only the end of the line counts: "Stretch = Random+" is 2, since
            // its last six characters are not RANDOM.
            int& mode = StretchMode[section];
            if (Right(upper, 5) == "FALSE") mode = 0;
            else if (Right(upper, 6) == "RANDOM") mode = 1;
            else if (Right(upper, 7) == "RANDOM+") mode = 2;
            else if (Right(upper, 6) == "DOUBLE") mode = -2;
        } else if (Left(line, 1) == "\"") {
            // Spaces inside the quotes are rests and stay.
            ++SongLineCount[section];
            if (SongLineCount[section] <= MaxSongLines)
                SongLines[section].push_back(Replace(line, "\"", ""));
        }
    }
}

void LoadSong(const std::string& name, int seed, int tempoMs) {
    // A song that cannot be read changes nothing, so whatever plays goes on.
    const std::string path = "music/" + name + ".ini";
    if (FileType(path) != 1) return;
    Stream in = ReadFile(path);
    if (!in) return;
    std::vector<std::string> lines;
    while (!Eof(in)) lines.push_back(ReadLine(in));
    CloseStream(in);
    ParseSongLines(lines);

    // Seeds are multiplied in 32-bit arithmetic and wrap, as SeedRnd keeps
    // only the low 31 bits anyway.
    if (seed == -1) seed = static_cast<int>(MilliSecs());
    SeedRnd(music::Wrap(static_cast<int64_t>(seed) * 1024));
    SongSeed = seed;

    MusicSpread = kDefaultSpread;
    ChordLine.clear();
    MusicStep = -1;
    BarInPhrase = -1;
    BarsPlayed = -1;
    StepMs = tempoMs / 2;
    for (int& bit : NextBits) bit = Rand(0, 1);
    music::StartBar();
    NextStepTime = MilliSecs() + kFirstStepDelayMs;
    MusicPlaying = true;
}

void SetMusicSpread(float pan) { MusicSpread = pan; }

float NoteRate(const std::string& key) {
    if (key.size() != 1) return 0;
    // Twelve keys per octave, q = 1; the factors are rounded semitone steps.
    struct Key {
        char key;
        float rate;
    };
    static const Key kKeys[] = {
        {'z', 0.5f},   {'s', 0.5295f}, {'x', 0.561f}, {'d', 0.5945f}, {'c', 0.63f},
        {'v', 0.6675f}, {'g', 0.707f}, {'b', 0.749f}, {'h', 0.7935f}, {'n', 0.841f},
        {'j', 0.891f}, {'m', 0.944f},  {'q', 1.0f},   {'2', 1.059f},  {'w', 1.122f},
        {'3', 1.189f}, {'e', 1.26f},   {'r', 1.335f}, {'5', 1.414f},  {'t', 1.498f},
        {'6', 1.587f}, {'y', 1.682f},  {'7', 1.782f}, {'u', 1.888f},  {'i', 2.0f},
        {'9', 2.118f}, {'o', 2.244f},  {'0', 2.378f}, {'p', 2.52f},   {'[', 2.67f},
        {'=', 2.828f}, {']', 2.996f},
    };
    const char k = Lower(key)[0];
    for (const Key& entry : kKeys)
        if (entry.key == k) return entry.rate;
    return 0;
}
