// bench_mixer — what the software mixer costs per second of audio with 64 and
// with 256 playing channels: looping mono and stereo sounds at assorted rates,
// pans and volumes, mixed in 1024-frame blocks as SDL's callback asks for.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "platform/audio/mixer.h"
#include "platform/audio/sound.h"

namespace {

Sound MakeTone(double hz, int rate, int channels, int frames) {
    plat::audio::Pcm pcm;
    pcm.channels = channels;
    pcm.rate = rate;
    for (int i = 0; i < frames; ++i) {
        auto v = int16_t(std::lround(9000 * std::sin(2 * M_PI * hz * i / rate)));
        for (int c = 0; c < channels; ++c) pcm.samples.push_back(v);
    }
    return plat::audio::MakeSound(std::move(pcm), true);
}

double MsPerAudioSecond(int channels, int seconds) {
    const Sound sounds[] = {
        MakeTone(220, 44100, 1, 30000), MakeTone(330, 22050, 1, 11025),
        MakeTone(440, 44100, 2, 20000), MakeTone(523, 48000, 1, 24000),
    };
    plat::audio::Mixer mixer;
    for (int i = 0; i < channels; ++i) {
        Channel c = mixer.Alloc();
        mixer.Start(c, sounds[i % 4], true);
        mixer.SetRate(c, 0.25f + float(i % 16) * 0.23f);  // 0.25 .. 3.7
        mixer.SetPan(c, float(i % 9) / 4.0f - 1.0f);      // −1 .. 1
        mixer.SetVolume(c, 0.2f + float(i % 5) * 0.2f);
        mixer.SetPaused(c, false);
    }
    constexpr int kBlock = 1024;
    static int16_t out[kBlock * 2];
    int64_t frames = int64_t(seconds) * plat::audio::kOutputRate;
    long checksum = 0;
    auto start = std::chrono::steady_clock::now();
    for (int64_t done = 0; done < frames; done += kBlock) {
        int n = int(std::min<int64_t>(kBlock, frames - done));
        mixer.Mix(out, n);
        checksum += out[0] + out[2 * n - 1];
    }
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count();
    if (mixer.RunningCount() != channels || checksum == 0x7fffffff)
        std::printf("mixer: unexpected state\n");
    return ms / seconds;
}

}  // namespace

int main() {
    for (int channels : {64, 256}) {
        MsPerAudioSecond(channels, 1);  // warm the caches
        double ms = MsPerAudioSecond(channels, 20);
        std::printf("mixer channels=%d ms_per_audio_second=%.2f\n", channels, ms);
    }
    return 0;
}
