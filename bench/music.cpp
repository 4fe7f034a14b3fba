// bench_music — what the music player costs while the demo song plays: the
// sequencer (MusicUpdate, called every millisecond as songplay does, far more
// often than the game's 60 frames a second) and the mixing of its notes in
// 1024-frame blocks as SDL's callback asks for them, per second of music.
// Also the cost of loading the sample sets, which every graphics set-up pays.
//
// Usage: bench_music [seconds of music] [asset folder]   (default: 120,
// ../Files beside this program, where the build writes the generated tree)
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "app/app.h"
#include "framework/folders.h"
#include "music/music.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

struct Figures {
    double loadMs = 0, updateMs = 0, mixMs = 0;
    long notes = 0;
};

Figures PlayDemo(int seconds) {
    Figures f;
    UseHeadlessPlatform();
    InitGlobals();
    auto start = Clock::now();
    LoadMusicSamples();
    f.loadMs = MsSince(start);

    SetMusicNoteHook([&f](const StruckNote&) { ++f.notes; });
    LoadSong("demo", 1, 250);
    constexpr int kBlock = 1024;
    int64_t framesDue = 0;
    for (int64_t ms = 0; ms < int64_t{seconds} * 1000; ++ms) {
        start = Clock::now();
        MusicUpdate();
        f.updateMs += MsSince(start);
        framesDue += (ms + 1) * 44100 / 1000 - ms * 44100 / 1000;
        if (framesDue >= kBlock) {
            start = Clock::now();
            HeadlessMix(kBlock);
            f.mixMs += MsSince(start);
            framesDue -= kBlock;
        }
        HeadlessAdvance(1);
    }
    SetMusicNoteHook(nullptr);
    StopMusic();
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 120;
    std::string files = argc > 2 ? argv[2] : "";
    if (files.empty()) {
        char self[4096] = {};
        const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
        const std::string path(self, n > 0 ? size_t(n) : 0);
        files = path.substr(0, path.rfind('/') + 1) + "../Files";
    }
    InitGlobals();  // the week number names the game folder
    if (chdir((files + "/" + GameFolder()).c_str()) != 0 || FileType("music/demo.ini") != 1) {
        std::fprintf(stderr, "bench_music: no demo song under %s\n", files.c_str());
        return 2;
    }
    PlayDemo(5);  // warm the caches and the file system
    for (int run = 1; run <= 2; ++run) {
        const Figures f = PlayDemo(seconds);
        std::printf("music demo run=%d seconds=%d notes=%ld load_samples_ms=%.2f "
                    "update_ms_per_music_second=%.4f mix_ms_per_music_second=%.3f "
                    "total_ms_per_music_second=%.3f loadavg=%s\n",
                    run, seconds, f.notes, f.loadMs, f.updateMs / seconds, f.mixMs / seconds,
                    (f.updateMs + f.mixMs) / seconds, LoadAverage().c_str());
    }
    return 0;
}
