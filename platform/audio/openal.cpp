// openal.cpp — the OpenAL back end, loaded with dlopen only when asked for.
//
// The library is never linked: its calls are looked up at run time, and the
// few types and constants used are declared here. Channels map to sources
// (taken from a pool when a sound starts, given back when it ends or stops)
// and sounds to buffers (made the first time a sound plays on a device).
// Volume is the source gain, pan the position of a listener-relative source
// on the unit circle in front (mono sounds; OpenAL plays stereo sounds as
// they are), rate the pitch. A rate of 0 or less holds the source paused, as
// the mixer does.
#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <unordered_map>

#include "platform/audio/audio_internal.h"
#include "platform/audio/mixer.h"
#include "platform/audio/sound.h"
#include "platform/audio/test_hooks.h"

namespace plat::audio {

namespace {

// ---------------------------------------------------------------------------
// The slice of the OpenAL 1.1 and ALC_SOFT_loopback interfaces used here
// ---------------------------------------------------------------------------
using ALCdevice = struct ALCdevice_;
using ALCcontext = struct ALCcontext_;
using ALuint = unsigned int;
using ALint = int;
using ALenum = int;
using ALfloat = float;
using ALsizei = int;

constexpr ALenum AL_SOURCE_RELATIVE = 0x202;
constexpr ALenum AL_PITCH = 0x1003;
constexpr ALenum AL_POSITION = 0x1004;
constexpr ALenum AL_LOOPING = 0x1007;
constexpr ALenum AL_BUFFER = 0x1009;
constexpr ALenum AL_GAIN = 0x100A;
constexpr ALenum AL_SOURCE_STATE = 0x1010;
constexpr ALenum AL_PLAYING = 0x1012;
constexpr ALenum AL_STOPPED = 0x1014;
constexpr ALenum AL_FORMAT_MONO16 = 0x1101;
constexpr ALenum AL_FORMAT_STEREO16 = 0x1103;
constexpr ALenum AL_NO_ERROR = 0;
constexpr ALenum AL_NONE = 0;
constexpr ALint ALC_FREQUENCY = 0x1007;
constexpr ALint ALC_MONO_SOURCES = 0x1010;
constexpr ALint ALC_STEREO_SOURCES = 0x1011;
constexpr ALenum ALC_DEVICE_SPECIFIER = 0x1005;
constexpr ALint ALC_FORMAT_CHANNELS_SOFT = 0x1990;
constexpr ALint ALC_FORMAT_TYPE_SOFT = 0x1991;
constexpr ALint ALC_STEREO_SOFT = 0x1501;
constexpr ALint ALC_SHORT_SOFT = 0x1402;

struct Api {
    void* lib = nullptr;
    bool tried = false;
    std::string name = "libopenal.so.1";

    ALCdevice* (*alcOpenDevice)(const char*);
    char (*alcCloseDevice)(ALCdevice*);
    ALCcontext* (*alcCreateContext)(ALCdevice*, const ALint*);
    void (*alcDestroyContext)(ALCcontext*);
    char (*alcMakeContextCurrent)(ALCcontext*);
    const char* (*alcGetString)(ALCdevice*, ALenum);
    char (*alcIsExtensionPresent)(ALCdevice*, const char*);
    void* (*alcGetProcAddress)(ALCdevice*, const char*);
    void (*alGenSources)(ALsizei, ALuint*);
    void (*alDeleteSources)(ALsizei, const ALuint*);
    void (*alGenBuffers)(ALsizei, ALuint*);
    void (*alDeleteBuffers)(ALsizei, const ALuint*);
    void (*alBufferData)(ALuint, ALenum, const void*, ALsizei, ALsizei);
    void (*alSourcei)(ALuint, ALenum, ALint);
    void (*alSourcef)(ALuint, ALenum, ALfloat);
    void (*alSource3f)(ALuint, ALenum, ALfloat, ALfloat, ALfloat);
    void (*alSourcePlay)(ALuint);
    void (*alSourcePause)(ALuint);
    void (*alSourceStop)(ALuint);
    void (*alSourceRewind)(ALuint);
    void (*alGetSourcei)(ALuint, ALenum, ALint*);
    ALenum (*alGetError)();
    void (*alDistanceModel)(ALenum);
    // ALC_SOFT_loopback (tests render OpenAL's output into memory)
    ALCdevice* (*alcLoopbackOpenDeviceSOFT)(const char*) = nullptr;
    void (*alcRenderSamplesSOFT)(ALCdevice*, void*, ALsizei) = nullptr;
};

Api& Al() {
    static Api* api = new Api;  // never unloaded at exit: devices may outlive statics
    return *api;
}

template <typename F>
bool Resolve(void* lib, const char* name, F& fn) {
    fn = reinterpret_cast<F>(dlsym(lib, name));
    return fn != nullptr;
}

bool LoadApi() {
    Api& a = Al();
    if (a.tried) return a.lib != nullptr;
    a.tried = true;
    void* lib = dlopen(a.name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib) return false;
    bool ok = Resolve(lib, "alcOpenDevice", a.alcOpenDevice) &&
              Resolve(lib, "alcCloseDevice", a.alcCloseDevice) &&
              Resolve(lib, "alcCreateContext", a.alcCreateContext) &&
              Resolve(lib, "alcDestroyContext", a.alcDestroyContext) &&
              Resolve(lib, "alcMakeContextCurrent", a.alcMakeContextCurrent) &&
              Resolve(lib, "alcGetString", a.alcGetString) &&
              Resolve(lib, "alcIsExtensionPresent", a.alcIsExtensionPresent) &&
              Resolve(lib, "alcGetProcAddress", a.alcGetProcAddress) &&
              Resolve(lib, "alGenSources", a.alGenSources) &&
              Resolve(lib, "alDeleteSources", a.alDeleteSources) &&
              Resolve(lib, "alGenBuffers", a.alGenBuffers) &&
              Resolve(lib, "alDeleteBuffers", a.alDeleteBuffers) &&
              Resolve(lib, "alBufferData", a.alBufferData) &&
              Resolve(lib, "alSourcei", a.alSourcei) && Resolve(lib, "alSourcef", a.alSourcef) &&
              Resolve(lib, "alSource3f", a.alSource3f) &&
              Resolve(lib, "alSourcePlay", a.alSourcePlay) &&
              Resolve(lib, "alSourcePause", a.alSourcePause) &&
              Resolve(lib, "alSourceStop", a.alSourceStop) &&
              Resolve(lib, "alSourceRewind", a.alSourceRewind) &&
              Resolve(lib, "alGetSourcei", a.alGetSourcei) &&
              Resolve(lib, "alGetError", a.alGetError) &&
              Resolve(lib, "alDistanceModel", a.alDistanceModel);
    if (!ok) {
        dlclose(lib);
        return false;
    }
    a.lib = lib;
    if (a.alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback")) {
        a.alcLoopbackOpenDeviceSOFT = reinterpret_cast<ALCdevice* (*)(const char*)>(
            a.alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
        a.alcRenderSamplesSOFT = reinterpret_cast<void (*)(ALCdevice*, void*, ALsizei)>(
            a.alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
    }
    return true;
}

class OpenALBackend;
OpenALBackend* g_open = nullptr;  // the one open OpenAL back end (one context at a time)
uint64_t g_serial = 0;            // bumped for every device opened

// Sources beyond what the game can sound at once (236 effects, 20 music voices
// and the opening sound) are never needed.
constexpr int kWantedSources = 320;

class OpenALBackend final : public AudioBackend {
public:
    OpenALBackend(ALCdevice* device, ALCcontext* context, bool loopback)
        : device_(device), context_(context), loopback_(loopback), serial_(++g_serial) {
        g_open = this;
        Al().alDistanceModel(AL_NONE);  // pan positions sit at distance 1: no attenuation
    }

    ~OpenALBackend() override {
        Api& a = Al();
        // Buffers can only be deleted once no source holds them.
        for (ALuint s : allSources_) {
            a.alSourceStop(s);
            a.alSourcei(s, AL_BUFFER, 0);
        }
        for (auto& [id, c] : chans_) c.sound.reset();
        if (!allSources_.empty()) a.alDeleteSources(ALsizei(allSources_.size()), allSources_.data());
        // Sounds still loaded keep their samples; their buffers die with the
        // device and are made again on the next one.
        for (auto& weak : buffered_) {
            if (Sound s = weak.lock(); s && s->alDeviceSerial == serial_ && s->alBuffer) {
                a.alDeleteBuffers(1, &s->alBuffer);
                s->alBuffer = 0;
            }
        }
        g_open = nullptr;
        a.alcMakeContextCurrent(nullptr);
        a.alcDestroyContext(context_);
        a.alcCloseDevice(device_);
    }

    uint64_t serial() const { return serial_; }
    bool loopback() const { return loopback_; }
    int HeldCount() const { return int(chans_.size()); }
    ALCdevice* device() const { return device_; }

    // Ids are never handed out twice; channels whose sound ended are
    // forgotten at a later Alloc and come back under their id when started
    // again (see Mixer::Alloc).
    Channel Alloc() override {
        if (chans_.size() >= sweepAt_) {
            ForgetFinished();
            sweepAt_ = std::max<size_t>(256, chans_.size() * 2);
        }
        if (chans_.size() >= size_t(Mixer::kMaxChannels) ||
            next_ == std::numeric_limits<Channel>::max())
            return 0;
        const Channel id = next_++;
        chans_.emplace(id, Chan{});
        return id;
    }

    bool Start(Channel channel, const Sound& sound, bool paused) override {
        if (!sound) return false;
        Chan* c = Find(channel);
        if (!c && channel > 0 && channel < next_) c = &chans_.emplace(channel, Chan{}).first->second;
        if (!c) return false;
        Api& a = Al();
        c->paused = paused;
        c->active = false;
        if (c->source) {
            a.alSourceStop(c->source);
            a.alSourcei(c->source, AL_BUFFER, 0);
        } else {
            c->source = TakeSource();
        }
        c->sound = sound;
        ALuint buffer = c->source ? BufferFor(sound) : 0;
        if (!buffer) {
            // No source left or no buffer: the channel is valid but silent.
            GiveBack(*c);
            return true;
        }
        a.alSourcei(c->source, AL_BUFFER, ALint(buffer));
        a.alSourcei(c->source, AL_LOOPING, sound->loop ? 1 : 0);
        ApplyGain(*c);
        ApplyPan(*c);
        ApplyPitch(*c);
        a.alSourceRewind(c->source);
        c->active = true;
        ApplyRun(*c);
        return true;
    }

    void SetPaused(Channel channel, bool paused) override {
        Chan* c = Find(channel);
        if (!c) return;
        c->paused = paused;
        if (CheckEnded(*c)) ApplyRun(*c);
    }

    void Stop(Channel channel) override {
        if (Chan* c = Find(channel)) {
            if (c->source) Al().alSourceStop(c->source);
            GiveBack(*c);
        }
    }

    bool Playing(Channel channel) override {
        Chan* c = Find(channel);
        return c && CheckEnded(*c);
    }

    void SetVolume(Channel channel, float volume) override {
        if (Chan* c = Find(channel)) {
            c->volume = volume >= 0 ? std::min(volume, 1.0f) : 0.0f;
            ApplyGain(*c);
        }
    }

    void SetPan(Channel channel, float pan) override {
        if (Chan* c = Find(channel)) {
            c->pan = std::isnan(pan) ? 0.0f : std::clamp(pan, -1.0f, 1.0f);
            ApplyPan(*c);
        }
    }

    void SetRate(Channel channel, float rate) override {
        if (Chan* c = Find(channel)) {
            c->rate = std::isnan(rate) ? 1.0f : std::min(rate, 64.0f);
            ApplyPitch(*c);
            if (CheckEnded(*c)) ApplyRun(*c);
        }
    }

    std::string Description() override {
        const char* name = Al().alcGetString(device_, ALC_DEVICE_SPECIFIER);
        return std::string("OpenAL device \"") + (name ? name : "?") + "\", 44100 Hz";
    }

private:
    struct Chan {
        Sound sound;
        ALuint source = 0;
        float volume = 1, pan = 0, rate = 1;
        bool active = false;  // a sound is on the source and has not ended
        bool paused = false;
    };

    Chan* Find(Channel channel) {
        auto it = chans_.find(channel);
        return it == chans_.end() ? nullptr : &it->second;
    }

    // Frees every channel that had a sound which has ended or was stopped.
    void ForgetFinished() {
        for (auto it = chans_.begin(); it != chans_.end();) {
            Chan& c = it->second;
            if (c.active) CheckEnded(c);
            if (c.sound && !c.active && !c.source) {
                it = chans_.erase(it);
            } else {
                ++it;
            }
        }
    }

    ALuint TakeSource() {
        Api& a = Al();
        if (freeSources_.empty() && int(allSources_.size()) < maxSources_) {
            a.alGetError();
            ALuint s = 0;
            a.alGenSources(1, &s);
            if (a.alGetError() == AL_NO_ERROR && s != 0) {
                a.alSourcei(s, AL_SOURCE_RELATIVE, 1);
                allSources_.push_back(s);
                freeSources_.push_back(s);
            } else {
                maxSources_ = int(allSources_.size());  // the device has no more
            }
        }
        if (freeSources_.empty()) {
            // Take back the sources of sounds that have ended unobserved.
            for (auto& [id, c] : chans_)
                if (c.source && c.active) CheckEnded(c);
        }
        if (freeSources_.empty()) return 0;
        ALuint s = freeSources_.back();
        freeSources_.pop_back();
        return s;
    }

    void GiveBack(Chan& c) {
        c.active = false;
        if (!c.source) return;
        Al().alSourcei(c.source, AL_BUFFER, 0);
        freeSources_.push_back(c.source);
        c.source = 0;
    }

    // True while the channel's sound is still on; a source that stopped by
    // itself (a sound that ended) is given back.
    bool CheckEnded(Chan& c) {
        if (!c.active || !c.source) return false;
        ALint state = 0;
        Al().alGetSourcei(c.source, AL_SOURCE_STATE, &state);
        if (state == AL_STOPPED) {
            GiveBack(c);
            return false;
        }
        return true;
    }

    ALuint BufferFor(const Sound& sound) {
        if (sound->alBuffer && sound->alDeviceSerial == serial_) return sound->alBuffer;
        Api& a = Al();
        a.alGetError();
        ALuint b = 0;
        a.alGenBuffers(1, &b);
        if (a.alGetError() != AL_NO_ERROR || b == 0) return 0;
        ALenum format = sound->channels == 2 ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16;
        size_t bytes = size_t(sound->frames) * sound->channels * sizeof(int16_t);  // no guard
        a.alBufferData(b, format, sound->samples.data(), ALsizei(bytes), sound->rate);
        if (a.alGetError() != AL_NO_ERROR) {
            a.alDeleteBuffers(1, &b);
            return 0;
        }
        sound->alBuffer = b;
        sound->alDeviceSerial = serial_;
        buffered_.push_back(sound);
        return b;
    }

    void ApplyGain(Chan& c) {
        if (c.source) Al().alSourcef(c.source, AL_GAIN, c.volume);
    }
    void ApplyPan(Chan& c) {
        if (!c.source) return;
        float p = c.pan;
        Al().alSource3f(c.source, AL_POSITION, p, 0.0f, -std::sqrt(1.0f - p * p));
    }
    void ApplyPitch(Chan& c) {
        if (c.source && c.rate > 0) Al().alSourcef(c.source, AL_PITCH, c.rate);
    }
    // Plays or holds the source as pause state and rate ask.
    void ApplyRun(Chan& c) {
        if (!c.source || !c.active) return;
        Api& a = Al();
        bool run = !c.paused && c.rate > 0;
        ALint state = 0;
        a.alGetSourcei(c.source, AL_SOURCE_STATE, &state);
        if (run && state != AL_PLAYING) a.alSourcePlay(c.source);
        if (!run && state == AL_PLAYING) a.alSourcePause(c.source);
    }

    ALCdevice* device_;
    ALCcontext* context_;
    bool loopback_;
    uint64_t serial_;
    std::unordered_map<Channel, Chan> chans_;
    Channel next_ = 1;
    size_t sweepAt_ = 256;
    std::vector<ALuint> allSources_;
    std::vector<ALuint> freeSources_;
    int maxSources_ = kWantedSources;
    std::vector<std::weak_ptr<SoundData>> buffered_;
};

}  // namespace

bool OpenALLibraryPresent() { return LoadApi(); }

void SetOpenALLibraryName(const std::string& name) {
    Api& a = Al();
    if (name == a.name) return;
    // The old library stays mapped: unloading a sound library that may have
    // started threads or registered exit handlers is not worth the risk.
    a.lib = nullptr;
    a.tried = false;
    a.name = name;
    a.alcLoopbackOpenDeviceSOFT = nullptr;
    a.alcRenderSamplesSOFT = nullptr;
}

std::unique_ptr<AudioBackend> OpenOpenAL(bool loopback, std::string& error) {
    if (!LoadApi()) {
        error = "the OpenAL library is not present";
        return nullptr;
    }
    if (g_open) {
        error = "an OpenAL device is already open";
        return nullptr;
    }
    Api& a = Al();
    ALCdevice* device = nullptr;
    if (loopback) {
        if (a.alcLoopbackOpenDeviceSOFT) device = a.alcLoopbackOpenDeviceSOFT(nullptr);
    } else {
        device = a.alcOpenDevice(nullptr);
    }
    if (!device) {
        error = "no OpenAL device could be opened";
        return nullptr;
    }
    ALint attributes[] = {ALC_FREQUENCY,         kOutputRate,     ALC_MONO_SOURCES, kWantedSources,
                          ALC_STEREO_SOURCES,    64,              0,                0,
                          0,                     0,               0};
    if (loopback) {
        attributes[6] = ALC_FORMAT_CHANNELS_SOFT;
        attributes[7] = ALC_STEREO_SOFT;
        attributes[8] = ALC_FORMAT_TYPE_SOFT;
        attributes[9] = ALC_SHORT_SOFT;
    }
    ALCcontext* context = a.alcCreateContext(device, attributes);
    if (!context || !a.alcMakeContextCurrent(context)) {
        if (context) a.alcDestroyContext(context);
        a.alcCloseDevice(device);
        error = "no OpenAL context could be made";
        return nullptr;
    }
    return std::make_unique<OpenALBackend>(device, context, loopback);
}

void ReleaseOpenALBuffer(uint32_t buffer, uint64_t deviceSerial) {
    if (g_open && g_open->serial() == deviceSerial) Al().alDeleteBuffers(1, &buffer);
}

std::vector<int16_t> RenderOpenALForTest(int frames) {
    if (!g_open || !g_open->loopback() || frames <= 0 || !Al().alcRenderSamplesSOFT) return {};
    std::vector<int16_t> out(size_t(frames) * 2);
    Al().alcRenderSamplesSOFT(g_open->device(), out.data(), frames);
    return out;
}

int OpenALHeldChannelsForTest() { return g_open ? g_open->HeldCount() : -1; }

}  // namespace plat::audio
