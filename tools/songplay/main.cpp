// songplay — plays or renders a song through the framework's own sequencer
// and mixer, for people who write songs and for tests.
//
//   songplay SONG SEED TEMPO_MS SECONDS [OUT.wav]
//
// Runs in the game folder of the asset tree built beside it ("Files/283/"),
// loads the sample sets and "music/SONG.ini" with the default volumes
// (master 50, music 50), then steps a virtual clock one millisecond at a time
// for SECONDS seconds, calling MusicUpdate at each. With OUT.wav the mix is
// written as 44.1 kHz 16-bit stereo; without it the mix plays on the real
// audio output, paced to real time. Either way each struck note is printed:
//   <ms> <track> <sample> <rate> <pan> <volume>
// ms since LoadSong, then the values set on the channel (%.4f). The notes
// depend only on the song, seed and tempo, never on the output or the host.
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "game/identity.h"
#include "music/music.h"
#include "platform/audio/test_hooks.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "settings/settings.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kRate = 44100;
constexpr int kMaxSeconds = 3600;  // an hour of WAV is about 635 MB

int Usage(const char* message = nullptr) {
    if (message) std::fprintf(stderr, "songplay: %s\n", message);
    std::fprintf(stderr, "usage: songplay SONG SEED TEMPO_MS SECONDS [OUT.wav]\n");
    return kExitUsage;
}

// The whole text as a decimal int in [low, high]; false otherwise.
bool ParseInt(const char* text, long low, long high, int& out) {
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < low || value > high) return false;
    out = static_cast<int>(value);
    return true;
}

// The folder the running program sits in ("" when it cannot be told).
std::string ProgramFolder() {
    std::vector<char> buf(4096);
    const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return {};
    std::string path(buf.data(), static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

void PutLe(std::string& s, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) s += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A 44-byte RIFF header for `frames` frames of 16-bit stereo at 44.1 kHz.
std::string WavHeader(uint32_t frames) {
    const uint32_t data = frames * 4;
    std::string h = "RIFF";
    PutLe(h, 36 + data, 4);
    h += "WAVEfmt ";
    PutLe(h, 16, 4);
    PutLe(h, 1, 2);  // PCM
    PutLe(h, 2, 2);  // stereo
    PutLe(h, kRate, 4);
    PutLe(h, kRate * 4, 4);
    PutLe(h, 4, 2);
    PutLe(h, 16, 2);
    h += "data";
    PutLe(h, data, 4);
    return h;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5 || argc > 6) return Usage();
    const std::string song = argv[1];
    int seed = 0, tempoMs = 0, seconds = 0;
    if (song.empty()) return Usage("SONG must name a song file in music/");
    if (!ParseInt(argv[2], INT_MIN, INT_MAX, seed)) return Usage("SEED must be an integer");
    if (!ParseInt(argv[3], 2, 60000, tempoMs)) return Usage("TEMPO_MS must be 2 .. 60000");
    if (!ParseInt(argv[4], 1, kMaxSeconds, seconds)) return Usage("SECONDS must be 1 .. 3600");
    const bool toFile = argc == 6;

    std::FILE* wav = nullptr;
    if (toFile) {
        wav = std::fopen(argv[5], "wb");
        if (!wav) {
            std::fprintf(stderr, "songplay: cannot write %s\n", argv[5]);
            return kExitUsage;
        }
    }

    // Virtual clock and in-memory mixer; live playback then hands the mixer
    // to the real output, which pulls it on its own thread.
    UseHeadlessPlatform();
    if (!toFile) plat::audio::ResetAudioForTest();
    InitSettings();  // the default volumes
    InitMusicGlobals();

    const std::string folder =
        ProgramFolder() + "/Files/" + Right("000" + Str(int64_t{FlingoWeek}), 3) + "/";
    if (!ChangeDir(folder)) {
        std::fprintf(stderr, "songplay: no asset tree at %s\n", folder.c_str());
        return kExitUsage;
    }
    if (FileType("music/" + song + ".ini") != 1) {
        std::fprintf(stderr, "songplay: no song file music/%s.ini in %s\n", song.c_str(),
                     folder.c_str());
        return kExitUsage;
    }
    LoadMusicSamples();
    for (std::string note = NextPlatformNote(); !note.empty(); note = NextPlatformNote())
        std::fprintf(stderr, "songplay:%s\n", note.c_str());

    uint32_t songStart = 0;
    SetMusicNoteHook([&](const StruckNote& n) {
        std::printf("%u %d %d %.4f %.4f %.4f\n", MilliSecs() - songStart, n.track, n.sample,
                    double(n.rate), double(n.pan), double(n.volume));
    });
    songStart = MilliSecs();
    LoadSong(song, seed, tempoMs);

    const int64_t totalMs = int64_t{seconds} * 1000;
    const auto realStart = std::chrono::steady_clock::now();
    const std::string header = WavHeader(uint32_t(totalMs * kRate / 1000));
    bool written = !wav || std::fwrite(header.data(), 1, header.size(), wav) == header.size();
    int64_t framesDone = 0;
    for (int64_t ms = 0; ms < totalMs && written; ++ms) {
        MusicUpdate();
        if (wav) {
            // The frames of this millisecond, 44 or 45 so the total stays exact.
            const int64_t due = (ms + 1) * kRate / 1000;
            const std::vector<int16_t> mix = HeadlessMix(int(due - framesDone));
            framesDone = due;
            // WAV data is little-endian, as this host is.
            written = std::fwrite(mix.data(), sizeof(int16_t), mix.size(), wav) == mix.size();
        } else if (ms % 10 == 0) {
            std::this_thread::sleep_until(realStart + std::chrono::milliseconds(ms));
        }
        HeadlessAdvance(1);
    }
    std::fflush(stdout);
    StopMusic();
    if (wav && (std::fclose(wav) != 0 || !written)) {
        std::fprintf(stderr, "songplay: writing %s failed\n", argv[5]);
        return 1;
    }
    if (!wav) {
        for (std::string note = NextPlatformNote(); !note.empty(); note = NextPlatformNote())
            std::fprintf(stderr, "songplay:%s\n", note.c_str());
        plat::audio::ResetAudioForTest();  // closes the output device
    }
    return 0;
}
