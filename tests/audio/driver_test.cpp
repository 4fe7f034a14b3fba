// Back ends: the name list and its order, choosing by name, OpenAL with and
// without its library (its output rendered through a loopback device), the
// fall-back to silence when no device opens, and SDL's output thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/backend.h"
#include "platform/core/core.h"
#include "tests/audio/audio_test_util.h"

using namespace audiotest;

namespace {

// OpenAL's null output lets a device open on a machine without a sound card;
// it must be set before the library first reads its configuration.
const bool kOpenALQuiet = [] {
    setenv("ALSOFT_DRIVERS", "null", 1);
    setenv("ALSOFT_LOGLEVEL", "0", 1);
    return true;
}();

constexpr const char* kMissingLibrary = "libopenal-not-here.so.9";

void DrainNotes() {
    while (!NextPlatformNote().empty()) {
    }
}

std::vector<std::string> Notes() {
    std::vector<std::string> notes;
    for (std::string n = NextPlatformNote(); !n.empty(); n = NextPlatformNote()) notes.push_back(n);
    return notes;
}

class Drivers : public ::testing::Test {
protected:
    void SetUp() override {
        plat::audio::ResetAudioForTest();
        plat::audio::SetOpenALLibraryForTest("libopenal.so.1");
        DrainNotes();
    }
    void TearDown() override {
        plat::audio::ResetAudioForTest();
        plat::audio::SetOpenALLibraryForTest("libopenal.so.1");
        unsetenv("SDL_AUDIODRIVER");
        DrainNotes();
    }
};

class ManualClock : public plat::ClockBackend {
public:
    uint32_t now = 5000;
    uint32_t Millis() override { return now; }
    void Sleep(int ms) override { now += uint32_t(ms); }
    int64_t UnixSeconds() override { return 0; }
};

}  // namespace

TEST_F(Drivers, NamesListTheMixerFirstThenOpenALThenSilent) {
    std::vector<std::string> names = AudioDriverNames();
    ASSERT_GE(names.size(), 3u);
    EXPECT_EQ(names.front(), "FreeAudio");
    EXPECT_EQ(names.back(), "Silent");
    size_t free = 0;
    while (free < names.size() && names[free].rfind("Free", 0) == 0) ++free;
    EXPECT_GE(free, 2u) << "SDL offers at least one output driver here";
    ASSERT_EQ(names.size(), free + 2) << "then OpenAL (the library is installed) and Silent";
    EXPECT_EQ(names[free], "OpenAL Default");
    for (const std::string& n : names) {
        EXPECT_NE(n, "FreeAudio dummy");
        EXPECT_NE(n, "FreeAudio disk");
        EXPECT_EQ(std::count(names.begin(), names.end(), n), 1) << n;
    }
}

TEST_F(Drivers, NamesAreMatchedWithoutRegardToCase) {
    EXPECT_TRUE(AudioDriverExists("FreeAudio"));
    EXPECT_TRUE(AudioDriverExists("freeaudio"));
    EXPECT_TRUE(AudioDriverExists("SILENT"));
    EXPECT_TRUE(AudioDriverExists("openal default"));
    EXPECT_FALSE(AudioDriverExists("DirectSound"));
    EXPECT_FALSE(AudioDriverExists(""));
    EXPECT_FALSE(AudioDriverExists("FreeAudio "));

    EXPECT_EQ(CurrentAudioDriver(), "FreeAudio");
    EXPECT_FALSE(SetAudioDriver("DirectSound"));
    EXPECT_EQ(CurrentAudioDriver(), "FreeAudio");
    EXPECT_TRUE(SetAudioDriver("sIlEnT"));
    EXPECT_EQ(CurrentAudioDriver(), "Silent");  // the list's own spelling
}

TEST_F(Drivers, WithoutTheLibraryThereIsNoOpenAL) {
    plat::audio::SetOpenALLibraryForTest(kMissingLibrary);
    std::vector<std::string> names = AudioDriverNames();
    for (const std::string& n : names) EXPECT_NE(Upper(n).rfind("OPENAL", 0), 0u) << n;
    EXPECT_EQ(names.back(), "Silent");
    EXPECT_FALSE(AudioDriverExists("OpenAL Default"));
    EXPECT_FALSE(SetAudioDriver("OpenAL Default"));
    EXPECT_FALSE(EnableOpenAL());
}

TEST_F(Drivers, OpenALWithTheRealLibraryPlaysOnItsDevice) {
    ASSERT_TRUE(EnableOpenAL());
    ASSERT_TRUE(SetAudioDriver("OpenAL Default"));
    Sound s = WavSound("al.wav", Sine(441, 44100, 4410), 1, 44100, 1);
    ASSERT_TRUE(s);
    Channel c = PlaySound(s);
    ASSERT_NE(c, 0);
    EXPECT_TRUE(ChannelPlaying(c));
    EXPECT_EQ(CurrentAudioDriver(), "OpenAL Default");
    EXPECT_EQ(AudioDeviceDescription().rfind("OpenAL Default: OpenAL device", 0), 0u)
        << AudioDeviceDescription();
    StopChannel(c);
    EXPECT_FALSE(ChannelPlaying(c));
    EXPECT_TRUE(Notes().empty());
}

TEST_F(Drivers, OpenALHonoursVolumePanRateAndEnds) {
    plat::audio::UseOpenALLoopbackForTest(true);
    ASSERT_TRUE(EnableOpenAL());
    ASSERT_TRUE(SetAudioDriver("OpenAL Default"));
    Sound tone = WavSound("alt.wav", Sine(441, 44100, 44100), 1, 44100, 1);
    Channel c = CueSound(tone);
    ASSERT_NE(c, 0);
    auto render = [](int frames) { return plat::audio::RenderOpenALForTest(frames); };
    // OpenAL dithers its 16-bit output: silence reads as ±1 at most.
    EXPECT_LE(Peak(Side(render(2000), 0)), 1) << "cued, not yet resumed";

    ResumeChannel(c);
    render(1000);  // let the source settle in
    std::vector<int16_t> out = render(4410);
    int left = Peak(Side(out, 0)), right = Peak(Side(out, 1));
    EXPECT_GT(left, 3000);
    EXPECT_NEAR(left, right, left / 20) << "centre: both sides alike";
    EXPECT_NEAR(CountRisingZeroCrossings(Side(out, 0)), 44, 2);

    SetChannelVolume(c, 0.5f);
    render(1000);
    int half = Peak(Side(render(4410), 0));
    EXPECT_NEAR(double(half) / left, 0.5, 0.05);
    SetChannelVolume(c, 1);

    SetChannelPan(c, -1);
    render(1000);
    out = render(4410);
    EXPECT_LT(Peak(Side(out, 1)), Peak(Side(out, 0)) / 10) << "panned left";

    SetChannelPan(c, 0);
    SetChannelRate(c, 2);
    render(1000);
    EXPECT_NEAR(CountRisingZeroCrossings(Side(render(4410), 0)), 88, 3);

    StopChannel(c);
    EXPECT_FALSE(ChannelPlaying(c));
    render(100);
    EXPECT_LE(Peak(Side(render(1000), 0)), 1);

    Sound beep = WavSound("alb.wav", Sine(441, 44100, 441), 1, 44100, 0);
    Channel b = PlaySound(beep);
    EXPECT_TRUE(ChannelPlaying(b));
    render(2000);
    EXPECT_FALSE(ChannelPlaying(b)) << "a non-looping sound ends";
    EXPECT_EQ(PlaySound(beep, b), b) << "and its channel takes the next one";
    EXPECT_TRUE(ChannelPlaying(b));
}

TEST_F(Drivers, OpenALHasASourceForEveryEffectSlot) {
    // 236 effect channels, 20 music voices and the opening sound at once.
    plat::audio::UseOpenALLoopbackForTest(true);
    ASSERT_TRUE(EnableOpenAL());
    ASSERT_TRUE(SetAudioDriver("OpenAL Default"));
    Sound tone = WavSound("many.wav", Sine(441, 44100, 4410), 1, 44100, 1);
    std::vector<Channel> channels;
    for (int i = 0; i < 257; ++i) channels.push_back(PlaySound(tone));
    int playing = 0;
    for (Channel c : channels) playing += ChannelPlaying(c) ? 1 : 0;
    EXPECT_EQ(playing, 257);
}

TEST_F(Drivers, OpenALFreesEndedChannelsAndKeepsHandlesUnique) {
    // A new channel per effect, round after round, as with the mixer.
    plat::audio::UseOpenALLoopbackForTest(true);
    ASSERT_TRUE(EnableOpenAL());
    ASSERT_TRUE(SetAudioDriver("OpenAL Default"));
    Sound blip = WavSound("blip.wav", Constant(100, 10), 1, 44100);
    const Channel held = CueSound(blip), first = PlaySound(blip);
    StopChannel(first);
    Channel last = first;
    for (int i = 0; i < 20000; ++i) {
        const Channel c = PlaySound(blip);
        ASSERT_GT(c, last);
        last = c;
        if (i % 2) StopChannel(c);
        else plat::audio::RenderOpenALForTest(64);  // plays the blip to its end
    }
    EXPECT_LT(plat::audio::OpenALHeldChannelsForTest(), 1000);
    EXPECT_TRUE(ChannelPlaying(held)) << "a cued channel is still in use";
    EXPECT_FALSE(ChannelPlaying(first));
    EXPECT_EQ(PlaySound(blip, first), first) << "a freed channel can play again";
    EXPECT_TRUE(ChannelPlaying(first));
}

TEST_F(Drivers, NoAudioDeviceFallsBackToSilentWithANote) {
    setenv("SDL_AUDIODRIVER", "none", 1);  // no such SDL driver: SDL's audio cannot start
    Sound s = WavSound("nodev.wav", Constant(100, 4410), 1, 44100);
    ASSERT_TRUE(s);
    EXPECT_EQ(Notes(), std::vector<std::string>{"\tNo audio device, sound is off"});
    EXPECT_EQ(CurrentAudioDriver(), "Silent");
    EXPECT_NE(PlaySound(s), 0) << "the silent back end takes every call";
    EXPECT_TRUE(Notes().empty()) << "noted once";
}

TEST_F(Drivers, OpenALThatCannotOpenFallsBackThroughTheMixer) {
    ASSERT_TRUE(SetAudioDriver("OpenAL Default"));
    plat::audio::SetOpenALLibraryForTest(kMissingLibrary);  // gone before it opens
    setenv("SDL_AUDIODRIVER", "none", 1);
    EXPECT_NE(AllocChannel(), 0);
    EXPECT_EQ(Notes(), (std::vector<std::string>{"\tOpenAL could not be opened, using FreeAudio",
                                                 "\tNo audio device, sound is off"}));
    EXPECT_EQ(CurrentAudioDriver(), "Silent");
}

TEST_F(Drivers, SilentChannelsRunForTheirSoundsLengthOnTheClock) {
    auto clock = std::make_unique<ManualClock>();
    ManualClock* time = clock.get();
    plat::InstallBackends(nullptr, std::move(clock), nullptr);
    ASSERT_TRUE(SetAudioDriver("Silent"));
    Sound tenth = WavSound("sil.wav", Constant(100, 4410), 1, 44100);  // 100 ms
    Sound loop = WavSound("sill.wav", Constant(100, 441), 1, 44100, 1);
    Channel c = PlaySound(tenth);
    Channel slow = CueSound(tenth);
    SetChannelRate(slow, 0.5f);  // 200 ms
    ResumeChannel(slow);
    Channel l = PlaySound(loop);
    time->now += 90;
    EXPECT_TRUE(ChannelPlaying(c));
    time->now += 20;
    EXPECT_FALSE(ChannelPlaying(c));
    EXPECT_TRUE(ChannelPlaying(slow));
    time->now += 100;
    EXPECT_FALSE(ChannelPlaying(slow));
    time->now += 60000;
    EXPECT_TRUE(ChannelPlaying(l));
    EXPECT_EQ(AudioDeviceDescription(), "Silent: no output");
    plat::InstallBackends(nullptr, plat::CreateRealClock(), nullptr);
}

TEST_F(Drivers, SdlOutputMixesOnItsOwnThread) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);  // SDL's timed output without a sound card
    Sound beep = WavSound("sdl.wav", Constant(1000, 2205), 1, 44100);  // 50 ms
    Sound loop = WavSound("sdll.wav", Constant(1000, 441), 1, 44100, 1);
    ASSERT_TRUE(beep && loop);
    EXPECT_TRUE(Notes().empty());
    EXPECT_EQ(CurrentAudioDriver(), "FreeAudio");
    std::string description = AudioDeviceDescription();
    EXPECT_NE(description.find("44100 Hz stereo 16-bit"), std::string::npos) << description;
    EXPECT_NE(description.find("dummy"), std::string::npos) << description;
    Channel c = PlaySound(beep);
    Channel l = PlaySound(loop);
    ASSERT_TRUE(ChannelPlaying(c));
    // The callback thread has to move the channel on by itself; allow it far
    // more wall time than the sound lasts.
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (ChannelPlaying(c) && std::chrono::steady_clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(ChannelPlaying(c));
    EXPECT_TRUE(ChannelPlaying(l));
    plat::AudioShutdown();
    EXPECT_FALSE(ChannelPlaying(l));
    EXPECT_EQ(AudioDeviceDescription(), "");
}

TEST_F(Drivers, ChoosingAnotherDriverAfterOpeningClosesTheOldOne) {
    ASSERT_TRUE(SetAudioDriver("Silent"));
    Sound s = WavSound("switch.wav", Constant(100, 44100), 1, 44100, 1);
    Channel old = PlaySound(s);
    ASSERT_TRUE(ChannelPlaying(old));
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(SetAudioDriver("FreeAudio"));
    EXPECT_FALSE(ChannelPlaying(old));
    Channel fresh = PlaySound(s);
    EXPECT_NE(fresh, old);
    EXPECT_EQ(CurrentAudioDriver(), "FreeAudio");
    StopChannel(old);
    EXPECT_TRUE(ChannelPlaying(fresh));
}

TEST_F(Drivers, HeadlessRunsKeepMixingIntoMemoryWhateverIsChosen) {
    plat::AudioUseMemoryDevice();
    EXPECT_TRUE(SetAudioDriver("Silent"));
    EXPECT_EQ(CurrentAudioDriver(), "Silent");
    EXPECT_TRUE(EnableOpenAL());  // the library is there; no device is opened
    Sound s = WavSound("mem.wav", Constant(777, 100), 1, 44100);
    PlaySound(s);
    EXPECT_EQ(HeadlessMix(1).at(0), 777);
    EXPECT_TRUE(Notes().empty());
}
