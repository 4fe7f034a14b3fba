// sound.h — the checks the WAV and Ogg Vorbis targets share: decoded PCM has
// a sane shape, becomes a sound, and plays through the mixer.
#pragma once

#include "platform/audio/sound.h"
#include "platform/headless/headless.h"
#include "tests/fuzz/fuzz.h"

namespace fuzz {

inline void CheckAndPlay(bool decoded, plat::audio::Pcm& pcm, size_t inputSize) {
    if (!decoded) return;
    FUZZ_CHECK(pcm.channels == 1 || pcm.channels == 2);
    FUZZ_CHECK(pcm.rate > 0 && pcm.rate <= plat::audio::kMaxSampleRate);
    FUZZ_CHECK(pcm.samples.size() % pcm.channels == 0 && !pcm.samples.empty());
    const Sound sound = plat::audio::MakeSound(std::move(pcm), inputSize % 2 == 1);
    FUZZ_CHECK(sound && sound->samples.size() == (sound->frames + 1) * sound->channels);
    // One channel for the whole run, so a long run does not pile up channels.
    static const Channel channel = AllocChannel();
    PlaySound(sound, channel);
    SetChannelRate(channel, 1.0f + float(inputSize % 7));
    HeadlessMix(512);
    StopChannel(channel);
}

}  // namespace fuzz
