// The software mixer on the in-memory device: pitch, pan, volume, stop, loop,
// pause, saturation and channel handles, measured in the mixed output.
#include <gtest/gtest.h>

#include "platform/audio/mixer.h"
#include "tests/audio/audio_test_util.h"

using namespace audiotest;

namespace {

class Mixing : public ::testing::Test {
protected:
    void SetUp() override { plat::AudioUseMemoryDevice(); }
    void TearDown() override { plat::audio::ResetAudioForTest(); }
};

bool AllZero(const std::vector<int16_t>& v) {
    for (int16_t x : v)
        if (x != 0) return false;
    return true;
}

}  // namespace

TEST_F(Mixing, RateScalesTheFrequency) {
    // 441 Hz over a tenth of a second: 44 rising crossings at rate 1.
    Sound tone = WavSound("tone.wav", Sine(441, 44100, 44100), 1, 44100);
    ASSERT_TRUE(tone);
    Channel a = PlaySound(tone);
    ASSERT_NE(a, 0);
    int base = CountRisingZeroCrossings(Side(HeadlessMix(4410), 0));
    EXPECT_NEAR(base, 44, 1);
    StopChannel(a);

    Channel b = CueSound(tone);
    SetChannelRate(b, 2);
    ResumeChannel(b);
    EXPECT_NEAR(CountRisingZeroCrossings(Side(HeadlessMix(4410), 0)), 88, 1);

    SetChannelRate(b, 0.5f);
    EXPECT_NEAR(CountRisingZeroCrossings(Side(HeadlessMix(4410), 0)), 22, 1);
}

TEST_F(Mixing, SoundAtAnotherRateKeepsItsPitch) {
    // 441 Hz stored at 22050 Hz must still come out at 441 Hz at rate 1, and a
    // one-second sound must last one second of output.
    Sound tone = WavSound("low.wav", Sine(441, 22050, 22050), 1, 22050);
    ASSERT_TRUE(tone);
    Channel c = PlaySound(tone);
    EXPECT_NEAR(CountRisingZeroCrossings(Side(HeadlessMix(4410), 0)), 44, 1);
    HeadlessMix(44100 - 4410 - 50);
    EXPECT_TRUE(ChannelPlaying(c));
    HeadlessMix(100);
    EXPECT_FALSE(ChannelPlaying(c));
}

TEST_F(Mixing, InterpolatesBetweenFrames) {
    // Two frames 0 and 10000 at a quarter of the output rate: the output ramps
    // through the values in between instead of repeating each frame.
    Sound ramp = WavSound("ramp.wav", {0, 10000, 10000, 10000}, 1, 11025);
    ASSERT_TRUE(ramp);
    PlaySound(ramp);
    std::vector<int> left = Side(HeadlessMix(4), 0);
    EXPECT_EQ(left[0], 0);
    EXPECT_NEAR(left[1], 2500, 2);
    EXPECT_NEAR(left[2], 5000, 2);
    EXPECT_NEAR(left[3], 7500, 2);
}

TEST_F(Mixing, PanSilencesTheFarSideAndCentreIsFullOnBoth) {
    Sound tone = WavSound("pan.wav", Sine(441, 44100, 44100), 1, 44100);
    Channel c = CueSound(tone);
    SetChannelPan(c, -1);
    ResumeChannel(c);
    std::vector<int16_t> out = HeadlessMix(2000);
    EXPECT_NEAR(Peak(Side(out, 0)), 16000, 50);
    EXPECT_EQ(Peak(Side(out, 1)), 0);

    SetChannelPan(c, 1);
    out = HeadlessMix(2000);
    EXPECT_EQ(Peak(Side(out, 0)), 0);
    EXPECT_NEAR(Peak(Side(out, 1)), 16000, 50);

    SetChannelPan(c, 0);
    out = HeadlessMix(2000);
    EXPECT_EQ(Side(out, 0), Side(out, 1));
    EXPECT_NEAR(Peak(Side(out, 0)), 16000, 50);

    SetChannelPan(c, 0.5f);  // halfway right: the left at half
    out = HeadlessMix(2000);
    EXPECT_NEAR(Peak(Side(out, 0)), 8000, 50);
    EXPECT_NEAR(Peak(Side(out, 1)), 16000, 50);

    SetChannelPan(c, -7);  // clamped to −1
    out = HeadlessMix(2000);
    EXPECT_EQ(Peak(Side(out, 1)), 0);
}

TEST_F(Mixing, StereoSoundsKeepTheirSides) {
    std::vector<int16_t> lr;
    for (int i = 0; i < 1000; ++i) {
        lr.push_back(8000);
        lr.push_back(-3000);
    }
    Sound s = WavSound("lr.wav", lr, 2, 44100);
    Channel c = PlaySound(s);
    std::vector<int16_t> out = HeadlessMix(10);
    EXPECT_EQ(out[0], 8000);
    EXPECT_EQ(out[1], -3000);
    SetChannelPan(c, 1);
    out = HeadlessMix(10);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], -3000);
}

TEST_F(Mixing, VolumeScalesTheAmplitude) {
    Sound tone = WavSound("vol.wav", Sine(441, 44100, 44100), 1, 44100);
    Channel c = PlaySound(tone);
    int full = Peak(Side(HeadlessMix(2000), 0));
    SetChannelVolume(c, 0.5f);
    int half = Peak(Side(HeadlessMix(2000), 0));
    SetChannelVolume(c, 0.1f);
    int tenth = Peak(Side(HeadlessMix(2000), 0));
    EXPECT_NEAR(double(half) / full, 0.5, 0.01);
    EXPECT_NEAR(double(tenth) / full, 0.1, 0.01);
    SetChannelVolume(c, 0);
    EXPECT_TRUE(AllZero(HeadlessMix(500)));
    EXPECT_TRUE(ChannelPlaying(c));  // muted, still running
    SetChannelVolume(c, 3);          // clamped to 1
    EXPECT_NEAR(Peak(Side(HeadlessMix(2000), 0)), full, 2);
}

TEST_F(Mixing, StopIsQuietAtOnce) {
    Sound loud = WavSound("loud.wav", Constant(20000, 44100), 1, 44100, 1);
    Channel c = PlaySound(loud);
    EXPECT_FALSE(AllZero(HeadlessMix(100)));
    StopChannel(c);
    EXPECT_FALSE(ChannelPlaying(c));
    std::vector<int16_t> after = HeadlessMix(100);
    EXPECT_TRUE(AllZero(after));
}

TEST_F(Mixing, NonLoopingSoundEndsAndLoopingSoundGoesOn) {
    std::vector<int16_t> samples = Constant(10000, 1000);
    Sound once = WavSound("once.wav", samples, 1, 44100, 0);
    Sound loop = WavSound("loop.wav", samples, 1, 44100, 1);
    Channel a = PlaySound(once);
    Channel b = PlaySound(loop);
    SetChannelPan(a, -1);  // once on the left only
    SetChannelPan(b, 1);   // loop on the right only
    std::vector<int16_t> out = HeadlessMix(5000);
    std::vector<int> left = Side(out, 0), right = Side(out, 1);
    EXPECT_EQ(left[999], 10000);
    EXPECT_EQ(left[1000], 0);
    EXPECT_EQ(left[4999], 0);
    EXPECT_EQ(right[4999], 10000);  // five times its length and still going
    EXPECT_FALSE(ChannelPlaying(a));
    EXPECT_TRUE(ChannelPlaying(b));
}

TEST_F(Mixing, LoopSeamIsContinuous) {
    // A ramp 0..999 looping: after 999 comes 0 again, with nothing doubled.
    std::vector<int16_t> ramp;
    for (int i = 0; i < 1000; ++i) ramp.push_back(int16_t(i * 10));
    Sound s = WavSound("seam.wav", ramp, 1, 44100, 1);
    PlaySound(s);
    std::vector<int> left = Side(HeadlessMix(2500), 0);
    for (int i = 0; i < 2500; ++i) ASSERT_EQ(left[size_t(i)], (i % 1000) * 10) << i;
}

TEST_F(Mixing, CuedChannelIsSilentUntilResumedAndPauseKeepsThePlace) {
    std::vector<int16_t> ramp;
    for (int i = 0; i < 2000; ++i) ramp.push_back(int16_t(i));
    Sound s = WavSound("cue.wav", ramp, 1, 44100);
    Channel c = CueSound(s);
    ASSERT_NE(c, 0);
    EXPECT_TRUE(AllZero(HeadlessMix(300)));
    EXPECT_TRUE(ChannelPlaying(c));  // a cued sound is on the channel
    ResumeChannel(c);
    std::vector<int> left = Side(HeadlessMix(100), 0);
    EXPECT_EQ(left[0], 0);  // from the start, not 300 frames in
    EXPECT_EQ(left[99], 99);
    PauseChannel(c);
    EXPECT_TRUE(AllZero(HeadlessMix(500)));
    ResumeChannel(c);
    EXPECT_EQ(Side(HeadlessMix(1), 0)[0], 100);
}

TEST_F(Mixing, ZeroRateHoldsTheChannelSilent) {
    Sound s = WavSound("hold.wav", Constant(9000, 1000), 1, 44100);
    Channel c = PlaySound(s);
    SetChannelRate(c, 0);
    EXPECT_TRUE(AllZero(HeadlessMix(3000)));
    EXPECT_TRUE(ChannelPlaying(c));
    SetChannelRate(c, 1);
    EXPECT_EQ(Side(HeadlessMix(1), 0)[0], 9000);
}

TEST_F(Mixing, ManyLoudChannelsSaturateWithoutWrapping) {
    Sound up = WavSound("up.wav", Constant(30000, 4000), 1, 44100, 1);
    Sound down = WavSound("down.wav", Constant(-30000, 4000), 1, 44100, 1);
    std::vector<Channel> channels;
    for (int i = 0; i < 300; ++i) channels.push_back(PlaySound(up));
    std::vector<int16_t> out = HeadlessMix(2000);
    for (int16_t v : out) ASSERT_EQ(v, 32767);
    for (Channel c : channels) StopChannel(c);
    for (int i = 0; i < 300; ++i) PlaySound(down);
    out = HeadlessMix(2000);
    for (int16_t v : out) ASSERT_EQ(v, -32768);
}

TEST_F(Mixing, ChannelsAreReusedAfterTheirSoundEnds) {
    Sound beep = WavSound("beep.wav", Constant(5000, 100), 1, 44100);
    Channel c = PlaySound(beep);
    HeadlessMix(200);
    EXPECT_FALSE(ChannelPlaying(c));
    EXPECT_EQ(PlaySound(beep, c), c);
    EXPECT_TRUE(ChannelPlaying(c));
    EXPECT_EQ(Side(HeadlessMix(1), 0)[0], 5000);
    // Settings stay with the channel across sounds.
    SetChannelVolume(c, 0.5f);
    HeadlessMix(200);
    EXPECT_EQ(CueSound(beep, c), c);
    ResumeChannel(c);
    EXPECT_EQ(Side(HeadlessMix(1), 0)[0], 2500);
}

TEST_F(Mixing, HandlesAreDistinctAndNoneDoesNothing) {
    Sound beep = WavSound("none.wav", Constant(5000, 100), 1, 44100);
    Channel a = AllocChannel(), b = AllocChannel(), c = PlaySound(beep);
    EXPECT_NE(a, 0);
    EXPECT_NE(a, b);
    EXPECT_NE(c, a);
    EXPECT_NE(c, b);
    EXPECT_FALSE(ChannelPlaying(a));  // allocated, nothing on it

    EXPECT_EQ(CueSound(Sound{}), 0);
    EXPECT_EQ(PlaySound(Sound{}, a), 0);
    EXPECT_EQ(PlaySound(beep, 999999), 0);  // never allocated
    for (Channel none : {0, -3, 999999}) {
        ResumeChannel(none);
        PauseChannel(none);
        StopChannel(none);
        SetChannelVolume(none, 1);
        SetChannelPan(none, 1);
        SetChannelRate(none, 2);
        EXPECT_FALSE(ChannelPlaying(none));
    }
    EXPECT_TRUE(ChannelPlaying(c));
}

TEST_F(Mixing, AFreshMemoryDeviceForgetsOldChannels) {
    Sound beep = WavSound("fresh.wav", Constant(5000, 44100), 1, 44100, 1);
    Channel old = PlaySound(beep);
    ASSERT_TRUE(ChannelPlaying(old));
    plat::AudioUseMemoryDevice();
    EXPECT_TRUE(AllZero(HeadlessMix(100)));
    EXPECT_FALSE(ChannelPlaying(old));
    // A new channel never takes an old handle's number.
    Channel fresh = AllocChannel();
    EXPECT_NE(fresh, old);
    StopChannel(old);
    EXPECT_EQ(PlaySound(beep, fresh), fresh);
    StopChannel(old);  // must not reach the new channel
    EXPECT_TRUE(ChannelPlaying(fresh));
}

TEST(MixerCore, AdvanceEndsSoundsByTheirLengthAndRate) {
    // The silent back end only moves channels on in time; the lengths must
    // match what mixing would do.
    plat::audio::Pcm pcm;
    pcm.channels = 1;
    pcm.rate = 22050;
    pcm.samples.assign(22050, 100);  // one second
    Sound s = plat::audio::MakeSound(pcm, false);
    pcm.samples.assign(100, 100);
    Sound loop = plat::audio::MakeSound(pcm, true);
    plat::audio::Mixer m;
    Channel a = m.Alloc(), b = m.Alloc(), l = m.Alloc();
    m.Start(a, s, false);
    m.Start(b, s, false);
    m.SetRate(b, 2);  // half a second
    m.Start(l, loop, false);
    m.Advance(44100 / 2 - 10);
    EXPECT_TRUE(m.Playing(a));
    EXPECT_TRUE(m.Playing(b));
    m.Advance(20);
    EXPECT_TRUE(m.Playing(a));
    EXPECT_FALSE(m.Playing(b));
    m.Advance(44100 * 3600LL);  // an hour
    EXPECT_FALSE(m.Playing(a));
    EXPECT_TRUE(m.Playing(l));
    EXPECT_EQ(m.RunningCount(), 1);
}

TEST(MixerCore, EndedChannelsAreFreedAndHandlesStayUnique) {
    // A new channel per effect, round after round: the table must not grow
    // with the handles handed out, and no handle may be handed out twice.
    plat::audio::Pcm pcm;
    pcm.channels = 1;
    pcm.rate = 44100;
    pcm.samples.assign(10, 100);
    Sound s = plat::audio::MakeSound(pcm, false);
    plat::audio::Mixer m;
    const Channel paused = m.Alloc(), first = m.Alloc();
    m.Start(paused, s, true);
    m.Start(first, s, false);
    Channel last = first;
    for (int i = 0; i < 100000; ++i) {
        const Channel c = m.Alloc();
        ASSERT_GT(c, last);
        last = c;
        m.Start(c, s, false);
        if (i % 2) m.Stop(c);
        m.Advance(20);
    }
    EXPECT_LT(m.HeldCount(), 1000);
    EXPECT_TRUE(m.Playing(paused)) << "a paused channel is still in use";
    // A freed channel still answers as an ended one and can play again.
    EXPECT_FALSE(m.Playing(first));
    EXPECT_TRUE(m.Start(first, s, false));
    EXPECT_TRUE(m.Playing(first));
    EXPECT_FALSE(m.Start(last + 1, s, false)) << "never handed out";
}
