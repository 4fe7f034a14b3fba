// sound.h — decoded samples and the decoders that make them (platform/audio).
//
// A sound is decoded once, at load, into interleaved int16 frames (mono or
// stereo) at the file's own rate; the mixer resamples while it plays. Nothing
// outside platform/ includes this.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

struct SoundData {
    // frames + 1 frames, interleaved when stereo. The extra last frame is a
    // guard so the mixer can interpolate towards "the next frame" without a
    // bounds check: a copy of frame 0 for looping sounds (the loop seam), a
    // copy of the last frame otherwise.
    std::vector<int16_t> samples;
    uint32_t frames = 0;  // >= 1, without the guard
    int channels = 1;     // 1 or 2
    int rate = 44100;     // frames per second, 1..kMaxSampleRate
    bool loop = false;    // LoadSound flag 1

    // OpenAL buffer made from these samples the first time the sound plays on
    // that back end; valid only while the device with this serial is open.
    uint32_t alBuffer = 0;
    uint64_t alDeviceSerial = 0;

    int64_t trackedBytes = 0;  // what this sound added to MemoryInUse
    ~SoundData();
};

namespace plat::audio {

// Limits that keep the mixer's 32.32 fixed-point positions exact and refuse
// absurd headers instead of trying to allocate for them.
constexpr int kMaxSampleRate = 768000;
constexpr uint32_t kMaxFrames = 1u << 27;         // about 50 minutes at 44100 Hz
constexpr size_t kMaxFileBytes = 256u << 20;      // 256 MiB

// Decoded PCM before it becomes a SoundData: interleaved int16 frames.
struct Pcm {
    std::vector<int16_t> samples;  // frames × channels, no guard
    int channels = 0;
    int rate = 0;
    uint32_t Frames() const { return channels ? uint32_t(samples.size() / channels) : 0; }
};

// RIFF WAVE, PCM 8-bit unsigned or 16-bit signed, mono or stereo. Chunks may
// come in any order and unknown chunks are skipped. False for anything else,
// including a data chunk that runs past the end of the file.
bool DecodeWav(const uint8_t* bytes, size_t size, Pcm& out);
// Ogg Vorbis through vorbisfile, mono or stereo. False when the headers do not
// decode or no audio comes out.
bool DecodeOgg(const uint8_t* bytes, size_t size, Pcm& out);
// Picks the decoder by the file's first bytes ("RIFF" or "OggS").
bool DecodeSoundFile(const uint8_t* bytes, size_t size, Pcm& out);

// Wraps decoded PCM into a sound (adds the guard frame, tracks the memory).
// None when the PCM is empty or beyond the limits.
Sound MakeSound(Pcm pcm, bool loop);

// Called by ~SoundData when the sound owns an OpenAL buffer (openal.cpp).
void ReleaseOpenALBuffer(uint32_t buffer, uint64_t deviceSerial);

}  // namespace plat::audio
