// audio.cpp — the Sound services of platform.h: back-end names and choice,
// the lazily opened device with its fallbacks, the channel calls, and the
// in-memory device of headless runs.
//
// Back ends, in the order AudioDriverNames lists them:
//   "FreeAudio"            the software mixer over SDL's output, SDL picks the driver
//   "FreeAudio <driver>"   the same through one named SDL driver
//   "OpenAL Default"       OpenAL's default device (only when the library loads)
//   "Silent"               plays nothing; channels still run for their sounds' lengths
// The device opens at the first LoadSound or AllocChannel. When it cannot be
// opened the choice falls back (named SDL driver → SDL's own pick → each
// other SDL driver → silent; OpenAL → the same chain), leaving a platform
// note for the named choice that failed and one when sound is off.
#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "platform/audio/audio_internal.h"
#include "platform/audio/mixer.h"
#include "platform/audio/test_hooks.h"
#include "platform/backend.h"
#include "platform/headless/headless.h"

namespace plat::audio {

namespace {

// ---------------------------------------------------------------------------
// The mixer back end and its three sinks
// ---------------------------------------------------------------------------
enum class Sink { Sdl, Memory, Silent };

class MixerBackend final : public AudioBackend {
public:
    explicit MixerBackend(Sink sink) : sink_(sink) {
        if (sink_ == Sink::Silent) lastMs_ = Clock()->Millis();
    }
    ~MixerBackend() override { device_.reset(); }  // stop the callback before the mixer goes

    // Only for Sink::Sdl: hands the device over and starts pulling from it.
    void Attach(std::unique_ptr<OutputDevice> device) {
        device_ = std::move(device);
        device_->Start();
    }
    static void Pull(void* user, int16_t* out, int frames) {
        auto* self = static_cast<MixerBackend*>(user);
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->mixer_.Mix(out, frames);
    }
    Sink sink() const { return sink_; }

    void MixInto(int16_t* out, int frames) {
        std::lock_guard<std::mutex> lock(mutex_);
        mixer_.Mix(out, frames);
    }

    Channel Alloc() override {
        std::lock_guard<std::mutex> lock(mutex_);
        CatchUp();
        return mixer_.Alloc();
    }
    bool Start(Channel channel, const Sound& sound, bool paused) override {
        std::lock_guard<std::mutex> lock(mutex_);
        CatchUp();
        return mixer_.Start(channel, sound, paused);
    }
    void SetPaused(Channel channel, bool paused) override {
        std::lock_guard<std::mutex> lock(mutex_);
        CatchUp();
        mixer_.SetPaused(channel, paused);
    }
    void Stop(Channel channel) override {
        std::lock_guard<std::mutex> lock(mutex_);
        mixer_.Stop(channel);
    }
    bool Playing(Channel channel) override {
        std::lock_guard<std::mutex> lock(mutex_);
        CatchUp();
        return mixer_.Playing(channel);
    }
    void SetVolume(Channel channel, float volume) override {
        std::lock_guard<std::mutex> lock(mutex_);
        mixer_.SetVolume(channel, volume);
    }
    void SetPan(Channel channel, float pan) override {
        std::lock_guard<std::mutex> lock(mutex_);
        mixer_.SetPan(channel, pan);
    }
    void SetRate(Channel channel, float rate) override {
        std::lock_guard<std::mutex> lock(mutex_);
        CatchUp();
        mixer_.SetRate(channel, rate);
    }
    std::string Description() override {
        switch (sink_) {
        case Sink::Sdl: return device_ ? device_->Description() : "closed";
        case Sink::Memory: return "44100 Hz stereo 16-bit, mixed into memory";
        case Sink::Silent: return "no output";
        }
        return {};
    }

private:
    // The silent sink has no device to pull the mix, so the channels are moved
    // on by the platform clock whenever they are looked at.
    void CatchUp() {
        if (sink_ != Sink::Silent) return;
        uint32_t now = Clock()->Millis();
        elapsedMs_ += uint32_t(now - lastMs_);  // MilliSecs wraps at 2^32
        lastMs_ = now;
        int64_t due = elapsedMs_ * kOutputRate / 1000;
        mixer_.Advance(due - framesDone_);
        framesDone_ = due;
    }

    Sink sink_;
    std::mutex mutex_;
    Mixer mixer_;
    std::unique_ptr<OutputDevice> device_;  // declared after mixer_: destroyed first
    uint32_t lastMs_ = 0;
    int64_t elapsedMs_ = 0;
    int64_t framesDone_ = 0;
};

// ---------------------------------------------------------------------------
// Names and state
// ---------------------------------------------------------------------------
enum class Kind { SdlAuto, SdlNamed, OpenAL, Silent };

struct Driver {
    std::string name;
    Kind kind;
    std::string sdlDriver;  // SdlNamed only
};

constexpr const char* kFreeName = "FreeAudio";
constexpr const char* kOpenALName = "OpenAL Default";
constexpr const char* kSilentName = "Silent";

struct State {
    bool memoryMode = false;
    bool openALLoopback = false;         // tests: EnableOpenAL renders into memory
    std::vector<Driver> drivers;         // empty until first asked
    Driver chosen{kFreeName, Kind::SdlAuto, {}};
    std::unique_ptr<AudioBackend> backend;
    std::string backendName;             // the back end actually open
    std::unique_ptr<AudioBackend> pendingOpenAL;  // opened by EnableOpenAL
    // Public channel numbers stay unique across back ends: a back end's own
    // channel k is exposed as base + k, and a new back end starts above every
    // number handed out before, so an old handle never reaches a new channel.
    Channel base = 0;
    Channel highest = 0;
};

State& S() {
    // Never destroyed: an SDL device must not be closed from a static
    // destructor after SDL itself is gone (EndProgram calls AudioShutdown).
    static State* state = new State;
    return *state;
}

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
}

const std::vector<Driver>& Drivers() {
    State& s = S();
    if (s.drivers.empty()) {
        s.drivers.push_back({kFreeName, Kind::SdlAuto, {}});
        for (const std::string& d : SdlOutputDrivers())
            s.drivers.push_back({std::string(kFreeName) + " " + d, Kind::SdlNamed, d});
        if (OpenALLibraryPresent()) s.drivers.push_back({kOpenALName, Kind::OpenAL, {}});
        s.drivers.push_back({kSilentName, Kind::Silent, {}});
    }
    return s.drivers;
}

const Driver* FindDriver(const std::string& name) {
    std::string want = Upper(name);
    for (const Driver& d : Drivers())
        if (Upper(d.name) == want) return &d;
    return nullptr;
}

void CloseBackend() {
    State& s = S();
    s.backend.reset();
    s.backendName.clear();
    s.base = s.highest;
}

void Install(std::unique_ptr<AudioBackend> backend, const std::string& name) {
    State& s = S();
    s.base = s.highest;
    s.backend = std::move(backend);
    s.backendName = name;
}

bool OpenSdl(const std::string& sdlDriver, const std::string& name, std::string& error) {
    auto mixer = std::make_unique<MixerBackend>(Sink::Sdl);
    auto device = OpenSdlOutput(sdlDriver, &MixerBackend::Pull, mixer.get(), error);
    if (!device) return false;
    mixer->Attach(std::move(device));
    Install(std::move(mixer), name);
    return true;
}

void OpenSilent() { Install(std::make_unique<MixerBackend>(Sink::Silent), kSilentName); }

void OpenChosen() {
    State& s = S();
    const Driver chosen = s.chosen;
    std::string error;
    if (chosen.kind == Kind::Silent) {
        s.pendingOpenAL.reset();
        OpenSilent();
        return;
    }
    if (chosen.kind == Kind::OpenAL) {
        std::unique_ptr<AudioBackend> al = std::move(s.pendingOpenAL);
        if (!al) al = OpenOpenAL(s.openALLoopback, error);
        if (al) {
            Install(std::move(al), chosen.name);
            return;
        }
        AddPlatformNote("\tOpenAL could not be opened, using " + std::string(kFreeName));
    }
    s.pendingOpenAL.reset();
    if (chosen.kind == Kind::SdlNamed) {
        if (OpenSdl(chosen.sdlDriver, chosen.name, error)) return;
        AddPlatformNote("\tAudio driver " + chosen.name + " could not be opened, using " +
                        std::string(kFreeName));
    }
    if (OpenSdl("", kFreeName, error)) return;
    // SDL settles on the first driver that starts, which may then have no
    // device (ALSA without a card while a sound server would have worked);
    // the others get their chance before sound is given up. A driver forced
    // through SDL's own SDL_AUDIODRIVER variable is taken as the only one.
    if (!std::getenv("SDL_AUDIODRIVER")) {
        for (const Driver& d : Drivers())
            if (d.kind == Kind::SdlNamed && d.name != chosen.name &&
                OpenSdl(d.sdlDriver, d.name, error))
                return;
    }
    AddPlatformNote("\tNo audio device, sound is off");
    OpenSilent();
}

MixerBackend* MemoryMixer() {
    State& s = S();
    if (!s.memoryMode) return nullptr;
    EnsureAudioOpen();
    auto* mixer = dynamic_cast<MixerBackend*>(s.backend.get());
    return mixer && mixer->sink() == Sink::Memory ? mixer : nullptr;
}

// The open back end and its own number for a public channel, or null.
AudioBackend* Target(Channel channel, Channel& local) {
    State& s = S();
    if (!s.backend || channel <= s.base) return nullptr;
    local = channel - s.base;
    return s.backend.get();
}

Channel Publish(Channel local) {
    State& s = S();
    if (local <= 0) return 0;
    Channel id = s.base + local;
    s.highest = std::max(s.highest, id);
    return id;
}

Channel StartOn(const Sound& sound, Channel channel, bool paused) {
    if (!sound) return 0;
    EnsureAudioOpen();
    State& s = S();
    if (!s.backend) return 0;
    if (channel == 0) {
        channel = Publish(s.backend->Alloc());
        if (channel == 0) return 0;
    }
    Channel local = 0;
    AudioBackend* b = Target(channel, local);
    if (!b || !b->Start(local, sound, paused)) return 0;
    return channel;
}

}  // namespace

void EnsureAudioOpen() {
    State& s = S();
    if (s.backend) return;
    if (s.memoryMode) {
        Install(std::make_unique<MixerBackend>(Sink::Memory), s.chosen.name);
        return;
    }
    OpenChosen();
}

// ---------------------------------------------------------------------------
// Test hooks
// ---------------------------------------------------------------------------
void ResetAudioForTest() {
    AudioShutdown();
    State& s = S();
    s.memoryMode = false;
    s.openALLoopback = false;
    s.drivers.clear();
    s.chosen = Driver{kFreeName, Kind::SdlAuto, {}};
}

void UseOpenALLoopbackForTest(bool on) { S().openALLoopback = on; }

void SetOpenALLibraryForTest(const std::string& name) {
    AudioShutdown();
    S().drivers.clear();  // the list depends on the library being there
    SetOpenALLibraryName(name);
}

}  // namespace plat::audio

// ---------------------------------------------------------------------------
// Platform hooks and public calls
// ---------------------------------------------------------------------------
namespace plat {

void AudioUseMemoryDevice() {
    audio::State& s = audio::S();
    AudioShutdown();
    s.memoryMode = true;
    s.chosen = audio::Drivers().front();
    audio::EnsureAudioOpen();
}

void AudioShutdown() {
    audio::State& s = audio::S();
    audio::CloseBackend();
    s.pendingOpenAL.reset();
}

}  // namespace plat

std::vector<std::string> AudioDriverNames() {
    std::vector<std::string> names;
    for (const auto& d : plat::audio::Drivers()) names.push_back(d.name);
    return names;
}

bool AudioDriverExists(const std::string& name) { return plat::audio::FindDriver(name) != nullptr; }

bool SetAudioDriver(const std::string& name) {
    using namespace plat::audio;
    const Driver* d = FindDriver(name);
    if (!d) return false;
    State& s = S();
    if (d->name == s.chosen.name) return true;
    s.chosen = *d;
    // Chosen after a device opened: the old one closes (its channels end) and
    // the new one opens at the next sound. Headless runs keep mixing to memory.
    if (s.backend && !s.memoryMode) CloseBackend();
    if (s.memoryMode) s.backendName = d->name;
    return true;
}

std::string CurrentAudioDriver() {
    const auto& s = plat::audio::S();
    return s.backend ? s.backendName : s.chosen.name;
}

bool EnableOpenAL() {
    using namespace plat::audio;
    State& s = S();
    // Headless runs never open a device; the library being there is enough.
    if (s.memoryMode) return OpenALLibraryPresent();
    if (s.backend && s.chosen.kind == Kind::OpenAL && s.backendName == kOpenALName) return true;
    if (s.pendingOpenAL) return true;
    std::string error;
    s.pendingOpenAL = OpenOpenAL(s.openALLoopback, error);
    return s.pendingOpenAL != nullptr;
}

void OpenAudio() { plat::audio::EnsureAudioOpen(); }

std::string AudioDeviceDescription() {
    const auto& s = plat::audio::S();
    if (!s.backend) return {};
    return s.backendName + ": " + s.backend->Description();
}

Channel AllocChannel() {
    using namespace plat::audio;
    EnsureAudioOpen();
    State& s = S();
    return s.backend ? Publish(s.backend->Alloc()) : 0;
}

Channel CueSound(const Sound& sound, Channel channel) {
    return plat::audio::StartOn(sound, channel, true);
}

Channel PlaySound(const Sound& sound, Channel channel) {
    return plat::audio::StartOn(sound, channel, false);
}

void ResumeChannel(Channel channel) {
    Channel local = 0;
    if (auto* b = plat::audio::Target(channel, local)) b->SetPaused(local, false);
}

void PauseChannel(Channel channel) {
    Channel local = 0;
    if (auto* b = plat::audio::Target(channel, local)) b->SetPaused(local, true);
}

void StopChannel(Channel channel) {
    Channel local = 0;
    if (auto* b = plat::audio::Target(channel, local)) b->Stop(local);
}

bool ChannelPlaying(Channel channel) {
    Channel local = 0;
    auto* b = plat::audio::Target(channel, local);
    return b && b->Playing(local);
}

void SetChannelVolume(Channel channel, float volume) {
    Channel local = 0;
    if (auto* b = plat::audio::Target(channel, local)) b->SetVolume(local, volume);
}

void SetChannelPan(Channel channel, float pan) {
    Channel local = 0;
    if (auto* b = plat::audio::Target(channel, local)) b->SetPan(local, pan);
}

void SetChannelRate(Channel channel, float rate) {
    Channel local = 0;
    if (auto* b = plat::audio::Target(channel, local)) b->SetRate(local, rate);
}

std::vector<int16_t> HeadlessMix(int frames) {
    if (frames <= 0) return {};
    std::vector<int16_t> out(size_t(frames) * 2, 0);
    if (auto* mixer = plat::audio::MemoryMixer()) mixer->MixInto(out.data(), frames);
    return out;
}
