// mixer.h — the portable software mixer: channels of decoded sounds mixed
// into 44100 Hz stereo int16.
//
// Plain code with no device and no lock of its own: the owner (audio.cpp)
// serialises every call, whether the mix runs on SDL's audio thread, inside
// HeadlessMix or is only advanced in time by the silent back end.
//
// Per channel: a sound, a 32.32 fixed-point position in the sound's frames,
// a step per output frame (sound rate × channel rate / 44100), volume and pan.
// Samples are linearly interpolated and summed into an int32 accumulator,
// then saturated to int16, so any number of loud channels clips instead of
// wrapping around.
//
// Pan law: balance with the centre at full gain. Pan p < 0 scales the right
// side by 1 + p, p > 0 scales the left by 1 − p; the other side stays at the
// channel volume. So pan 0 plays a mono sound at full volume on both sides and
// pan −1 silences the right side.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "platform/audio/sound.h"

namespace plat::audio {

constexpr int kOutputRate = 44100;  // frames per second, stereo int16

class Mixer {
public:
    Mixer();

    // Channel ids are 1, 2, 3, ... and are never handed out twice, so a
    // handle the game keeps always refers to the channel it was given. 0 when
    // kMaxChannels channels are held at once.
    //
    // A channel whose sound has ended or was stopped is forgotten (its state
    // freed) at a later Alloc: games drop such handles by the million (a new
    // channel per note or effect). A forgotten channel still acts as an
    // ended one: not playing, settings ignored, and Start brings it back with
    // volume 1, pan 0 and rate 1.
    Channel Alloc();
    // Puts the sound on the channel from its start (paused or playing); the
    // channel keeps its volume, pan and rate. False for an id never handed out.
    bool Start(Channel channel, const Sound& sound, bool paused);
    void SetPaused(Channel channel, bool paused);
    void Stop(Channel channel);  // silent from the next mixed frame
    // True while a sound is on the channel and has not ended, paused or not.
    bool Playing(Channel channel) const;
    void SetVolume(Channel channel, float volume);  // clamped to 0..1
    void SetPan(Channel channel, float pan);        // clamped to −1..1
    // 1 = the sound's own pitch. 0 or less holds the channel silent where it
    // is (the music player uses factor 0 to silence a track).
    void SetRate(Channel channel, float rate);

    // Mixes `frames` stereo frames into out (2 × frames values) and advances
    // every playing channel. Allocates nothing.
    void Mix(int16_t* out, int frames);
    // Advances every playing channel by `frames` without producing output (the
    // silent back end keeps ChannelPlaying true to the sounds' lengths).
    void Advance(int64_t frames);

    int RunningCount() const { return int(running_.size()); }  // playing, not paused
    int HeldCount() const { return int(voices_.size()); }     // channels with state
    void Clear();  // forgets every channel (ids start again at 1)

    static constexpr int kMaxChannels = 1 << 22;

private:
    struct Voice {
        Sound sound;                    // keeps the samples alive while on the channel
        const int16_t* data = nullptr;  // sound->samples, frames + guard
        uint64_t end = 0;               // frames << 32
        uint64_t pos = 0;               // 32.32 position in frames
        uint64_t step = 0;              // 32.32 frames per output frame; 0 = held
        int32_t gainLeft = 32768;       // Q15, volume × pan law
        int32_t gainRight = 32768;
        float volume = 1, pan = 0, rate = 1;
        int32_t runningIndex = -1;      // position in running_, −1 when not there
        bool stereo = false;
        bool loop = false;
        bool active = false;  // a sound is on and has not ended or been stopped
        bool paused = false;
        bool finished = false;  // had a sound that ended or was stopped
    };

    Voice* Find(Channel channel);
    const Voice* Find(Channel channel) const;
    void ForgetFinished();  // frees every voice whose sound ended or was stopped
    void UpdateGains(Voice& v);
    void UpdateStep(Voice& v);
    void SyncRunning(Channel channel, Voice& v);  // in running_ iff active and not paused
    void RemoveRunning(Voice& v);
    // Mixes n frames of one voice into acc; returns false when it ended.
    bool MixVoice(Voice& v, int32_t* acc, int n);
    bool AdvanceVoice(Voice& v, int64_t frames);

    // Channel id → state; node-based, so a Voice never moves while held.
    std::unordered_map<Channel, Voice> voices_;
    Channel next_ = 1;             // the next id Alloc hands out
    size_t sweepAt_ = 256;         // held count at which Alloc next forgets
    std::vector<Voice*> running_;  // voices that contribute to the mix
    std::vector<int32_t> acc_;     // kBlock stereo frames
    static constexpr int kBlock = 1024;
};

}  // namespace plat::audio
