// audio_device.cpp — SDL's audio output for the software mixer: a thin device
// that opens 44100 Hz stereo int16 play-back and hands each buffer SDL asks
// for to the mixer (platform/audio). Owned by the audio part of the platform.
#include <SDL.h>

#include <cstring>

#include "platform/audio/audio_internal.h"

namespace plat::audio {

namespace {

constexpr int kBufferFrames = 1024;  // about 23 ms at 44100 Hz

class SdlOutput final : public OutputDevice {
public:
    SdlOutput(PullFn pull, void* user) : pull_(pull), user_(user) {}

    ~SdlOutput() override {
        // SDL_CloseAudioDevice waits for a callback in progress to return.
        if (device_) SDL_CloseAudioDevice(device_);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    bool Open(std::string& error) {
        SDL_AudioSpec want{};
        want.freq = 44100;
        want.format = AUDIO_S16SYS;
        want.channels = 2;
        want.samples = kBufferFrames;
        want.callback = &SdlOutput::Callback;
        want.userdata = this;
        // No changes allowed: SDL converts to whatever the hardware takes, so
        // the mixer always produces exactly this format.
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have_, 0);
        if (device_ == 0) {
            error = SDL_GetError();
            return false;
        }
        const char* driver = SDL_GetCurrentAudioDriver();
        driver_ = driver ? driver : "?";
        return true;
    }

    void Start() override { SDL_PauseAudioDevice(device_, 0); }

    std::string Description() const override {
        return std::to_string(have_.freq) + " Hz " + (have_.channels == 2 ? "stereo" : "mono") +
               " 16-bit, " + std::to_string(have_.samples) + "-frame buffer (" + driver_ + ")";
    }

private:
    static void SDLCALL Callback(void* user, Uint8* stream, int len) {
        auto* self = static_cast<SdlOutput*>(user);
        int frames = len / int(2 * sizeof(int16_t));
        self->pull_(self->user_, reinterpret_cast<int16_t*>(stream), frames);
        int used = frames * int(2 * sizeof(int16_t));
        if (used < len) std::memset(stream + used, 0, size_t(len - used));
    }

    PullFn pull_;
    void* user_;
    SDL_AudioDeviceID device_ = 0;
    SDL_AudioSpec have_{};
    std::string driver_;
};

}  // namespace

std::vector<std::string> SdlOutputDrivers() {
    std::vector<std::string> names;
    int count = SDL_GetNumAudioDrivers();
    for (int i = 0; i < count; ++i) {
        const char* name = SDL_GetAudioDriver(i);
        if (!name) continue;
        std::string n = name;
        // "disk" writes a file and "dummy" plays nothing: the silent back end
        // covers the latter, and neither is a way to hear the game.
        if (n == "disk" || n == "dummy") continue;
        names.push_back(n);
    }
    return names;
}

std::unique_ptr<OutputDevice> OpenSdlOutput(const std::string& driver, PullFn pull, void* user,
                                            std::string& error) {
    // A named driver overrides SDL's own choice only for this initialisation.
    if (!driver.empty()) SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, driver.c_str(), SDL_HINT_OVERRIDE);
    int rc = SDL_InitSubSystem(SDL_INIT_AUDIO);
    if (!driver.empty()) SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    if (rc != 0) {
        error = SDL_GetError();
        return nullptr;
    }
    auto output = std::make_unique<SdlOutput>(pull, user);
    if (!output->Open(error)) return nullptr;  // its destructor quits the subsystem again
    return output;
}

}  // namespace plat::audio
