// audio_internal.h — the narrow table behind the Sound services of platform.h.
//
// audio.cpp owns the current back end and dispatches every channel call to it.
// Back ends: the software mixer (platform/audio/mixer.h) fed to SDL's audio
// output (platform/sdl/audio_device.cpp), to memory (HeadlessMix) or to
// nothing (silent); and OpenAL (platform/audio/openal.cpp), which maps
// channels to sources itself. Nothing outside platform/ includes this.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace plat::audio {

// Opens the chosen back end if nothing is open yet (falling back as needed).
void EnsureAudioOpen();

class AudioBackend {
public:
    virtual ~AudioBackend() = default;
    virtual Channel Alloc() = 0;
    // Sound on the channel from its start; false when the channel is unknown.
    virtual bool Start(Channel channel, const Sound& sound, bool paused) = 0;
    virtual void SetPaused(Channel channel, bool paused) = 0;
    virtual void Stop(Channel channel) = 0;
    virtual bool Playing(Channel channel) = 0;
    virtual void SetVolume(Channel channel, float volume) = 0;
    virtual void SetPan(Channel channel, float pan) = 0;
    virtual void SetRate(Channel channel, float rate) = 0;
    // Short format line, e.g. "44100 Hz stereo 16-bit, 1024-frame buffer".
    virtual std::string Description() = 0;
};

// ---------------------------------------------------------------------------
// SDL output (platform/sdl/audio_device.cpp)
// ---------------------------------------------------------------------------
// Called on SDL's audio thread for `frames` stereo int16 frames at 44100 Hz.
using PullFn = void (*)(void* user, int16_t* out, int frames);

class OutputDevice {
public:
    virtual ~OutputDevice() = default;  // stops the callback before returning
    virtual std::string Description() const = 0;
    virtual void Start() = 0;  // the callback runs from now on
};

// SDL's output drivers usable for play-back, in SDL's order (its file-writing
// and dummy drivers left out).
std::vector<std::string> SdlOutputDrivers();
// Opens 44100 Hz stereo int16 output through the named SDL driver ("" lets SDL
// pick). Null, with the reason in `error`, when SDL's audio or the device
// cannot be opened. The device starts paused; Start() begins the callback.
std::unique_ptr<OutputDevice> OpenSdlOutput(const std::string& driver, PullFn pull, void* user,
                                            std::string& error);

// ---------------------------------------------------------------------------
// OpenAL (platform/audio/openal.cpp), loaded with dlopen only on demand
// ---------------------------------------------------------------------------
bool OpenALLibraryPresent();  // the library loads and has the calls we need
// The file dlopen is given ("libopenal.so.1"); changing it unloads the old one.
// Every OpenAL back end must be closed first.
void SetOpenALLibraryName(const std::string& name);
// Opens the default device (or, for tests, a loopback device rendered on
// demand) and returns a back end using it; null when that fails.
std::unique_ptr<AudioBackend> OpenOpenAL(bool loopback, std::string& error);

}  // namespace plat::audio
