// The song-file parser and the step sequencer: any "music/<name>.ini" loads
// and plays three bars without harm, with every note on a sample that exists.
#include <filesystem>

#include "music/music.h"
#include "platform/audio/sound.h"
#include "platform/headless/headless.h"
#include "tests/fuzz/fuzz.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::WriteSeedsIfAsked({{"short.ini", "[Chords]\n\"q\"\n[Drums]\nStretch=Double\n\"18\"\n"
                                           "[Melody]\n\"z,./;'[]\"\n[Bass]\n\"\"\n"}},
                            {".ini"}, 16 << 10, 4);
    UseHeadlessPlatform();
    {
        const fuzz::InScratch here;
        std::filesystem::create_directories("music");
    }
    // A tiny click for every sample slot, so struck notes really play.
    plat::audio::Pcm click;
    click.channels = 1;
    click.rate = 22050;
    click.samples.assign(64, 1000);
    for (Sound& s : MusicSample) s = plat::audio::MakeSound(click, false);
    for (int& n : InstrumentCount) n = 3;
    SetMusicNoteHook([](const StruckNote& note) {
        FUZZ_CHECK(note.track >= 0 && note.track < 5);
        FUZZ_CHECK(note.sample >= 1 && note.sample < 50 && MusicSample[note.sample]);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::InScratch here;
    fuzz::WriteBytes("music/fuzz.ini", data, size);
    LoadSong("fuzz", static_cast<int>(size), 250);
    for (int step = 0; step < 3 * 64 + 2 && MusicPlaying; ++step) {
        HeadlessAdvance(StepMs + 1);
        MusicUpdate();
    }
    StopMusic();
    return 0;
}
