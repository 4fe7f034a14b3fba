// sounds_test.cpp — the sound effects, the music samples and the opening
// jingle decode, have sound in them, and the catch series climbs in pitch.
#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "tests/assets/asset_files.h"

using namespace assets_test;

namespace {

std::string Sfx(int n) {
    char name[16];
    std::snprintf(name, sizeof name, "%03d.wav", n);
    return GameDir() + "/" + name;
}

// The effect numbers the game plays: catches 2..16, wall exit 17, drop 20,
// menu click 98, login-focus blip 99.
std::vector<int> PlayedEffects() {
    std::vector<int> n;
    for (int k = 2; k <= 17; ++k) n.push_back(k);
    for (int k : {20, 98, 99}) n.push_back(k);
    return n;
}

std::vector<std::string> MusicSamples() {
    std::vector<std::string> names;
    for (int kit = 1; kit <= 2; ++kit)
        for (int n = 1; n <= 8; ++n) names.push_back("d" + std::to_string(kit) + "-" + std::to_string(n) + ".wav");
    for (const char* set : {"bass", "lead", "accompany"}) names.push_back(std::string(set) + "1.wav");
    return names;
}

// Checks one WAV as the mixer's loader needs it and returns its samples.
void ExpectPlayableWav(const std::string& path, double minSeconds, double maxSeconds) {
    SCOPED_TRACE(path);
    WavFile w = ReadWav(path);
    ASSERT_TRUE(w.parsed) << w.error;
    EXPECT_EQ(w.format, 1) << "PCM";
    EXPECT_EQ(w.bits, 16);
    EXPECT_EQ(w.channels, 1);
    EXPECT_TRUE(w.rate == 22050 || w.rate == 44100) << w.rate;
    EXPECT_GE(w.Seconds(), minSeconds);
    EXPECT_LE(w.Seconds(), maxSeconds);
    int peak = 0;
    double energy = 0;
    for (int16_t s : w.samples) {
        peak = std::max(peak, std::abs(int(s)));
        energy += double(s) * s;
    }
    double rms = w.samples.empty() ? 0 : std::sqrt(energy / w.samples.size());
    EXPECT_GT(peak, 32767 / 4) << "too quiet";
    EXPECT_LT(peak, 32767) << "clipped";
    EXPECT_GT(rms, 200) << "the body is silent";
    // Starting or stopping away from zero clicks audibly.
    ASSERT_FALSE(w.samples.empty());
    EXPECT_LT(std::abs(int(w.samples.front())), 1000);
    EXPECT_LT(std::abs(int(w.samples.back())), 1000);
}

// Fundamental frequency by normalised autocorrelation over a window early
// in the note (after the attack), searched between lowHz and 4 kHz.
double Pitch(const WavFile& w, int lowHz = 150) {
    size_t start = size_t(w.rate * 0.01), len = 2048;
    int minLag = w.rate / 4000, maxLag = w.rate / lowHz;
    if (w.samples.size() < start + len + maxLag + 1) return 0;
    std::vector<double> score(maxLag + 1, 0);
    double best = 0;
    for (int lag = minLag; lag <= maxLag; ++lag) {
        double num = 0, e0 = 0, e1 = 0;
        for (size_t i = start; i < start + len; ++i) {
            double a = w.samples[i], b = w.samples[i + lag];
            num += a * b;
            e0 += a * a;
            e1 += b * b;
        }
        score[lag] = num / std::sqrt(e0 * e1 + 1e-9);
        best = std::max(best, score[lag]);
    }
    // The first lag that comes close to the best one is the period: later
    // near-peaks are its multiples.
    for (int lag = minLag + 1; lag < maxLag; ++lag)
        if (score[lag] >= 0.9 * best && score[lag] >= score[lag - 1] && score[lag] >= score[lag + 1])
            return double(w.rate) / lag;
    return 0;
}

}  // namespace

TEST(SoundEffects, EveryPlayedNumberIsAPlayableWav) {
    for (int n : PlayedEffects()) ExpectPlayableWav(Sfx(n), 0.02, 1.5);
}

TEST(SoundEffects, CatchSoundsClimbInPitch) {
    double previous = 0;
    for (int n = 2; n <= 16; ++n) {
        WavFile w = ReadWav(Sfx(n));
        ASSERT_TRUE(w.parsed) << Sfx(n);
        double f = Pitch(w);
        EXPECT_GT(f, previous * 1.04) << "catch sound " << n << " is not higher than the one before";
        previous = f;
    }
    // The game raises each catch by up to 1.4, so the top must stay audible
    // and pleasant rather than shrill.
    EXPECT_LT(previous, 3500);
}

TEST(SoundEffects, ShortCuesAreShortAndTheWhooshLasts) {
    // The click is replayed at up to twice its speed on every tab and menu
    // choice; a long tail would smear. The whoosh must be heard as motion.
    EXPECT_LT(ReadWav(Sfx(98)).Seconds(), 0.12);
    EXPECT_LT(ReadWav(Sfx(99)).Seconds(), 0.2);
    EXPECT_GT(ReadWav(Sfx(17)).Seconds(), 0.3);
    // The drop is the low one: its pitch sits well below every catch.
    WavFile drop = ReadWav(Sfx(20));
    ASSERT_TRUE(drop.parsed);
    size_t crossings = 0;
    for (size_t i = 1; i < drop.samples.size() && i < size_t(drop.rate / 5); ++i)
        crossings += (drop.samples[i - 1] < 0) != (drop.samples[i] < 0);
    EXPECT_LT(crossings / 0.2 / 2, 300.0) << "the drop should be a low thud";
}

TEST(MusicSamples, DrumKitsAndMelodicSetsArePlayable) {
    for (const std::string& name : MusicSamples()) ExpectPlayableWav(MusicDir() + "/" + name, 0.02, 3.0);
}

TEST(MusicSamples, MelodicSamplesSoundAtTheirSetsReferencePitch) {
    // The key q plays a sample unchanged, so each melodic sample must be
    // recorded at its set's reference note (C3 for bass, C4 for the others),
    // or songs play out of tune with each other.
    struct Set {
        const char* prefix;
        double hz;
    };
    for (Set s : {Set{"bass", 130.81}, Set{"lead", 261.63}, Set{"accompany", 261.63}}) {
        for (int n = 1; n <= 8; ++n) {
            std::string path = MusicDir() + "/" + s.prefix + std::to_string(n) + ".wav";
            WavFile w = ReadWav(path);
            if (!w.parsed) continue;  // sets may have gaps; the first sample is required above
            double f = Pitch(w, 80);
            EXPECT_NEAR(f, s.hz, s.hz * 0.03) << path;
        }
    }
}

TEST(OpeningSound, DecodesAsOggVorbisOfAboutTwoSeconds) {
    std::string path = CommonDir() + "/open.ogg";
    OggVorbis_File vf;
    ASSERT_EQ(ov_fopen(path.c_str(), &vf), 0) << "open.ogg does not open as Ogg Vorbis";
    vorbis_info* info = ov_info(&vf, -1);
    ASSERT_NE(info, nullptr);
    EXPECT_TRUE(info->channels == 1 || info->channels == 2);
    EXPECT_EQ(info->rate, 44100);
    double seconds = ov_time_total(&vf, -1);
    EXPECT_GE(seconds, 1.0);
    EXPECT_LE(seconds, 2.5);
    // Decode it all: every page must be readable, and it must not be silent.
    char buf[8192];
    int section = 0;
    long got = 0, total = 0;
    int peak = 0;
    while ((got = ov_read(&vf, buf, sizeof buf, 0, 2, 1, &section)) > 0) {
        total += got;
        for (long i = 0; i + 1 < got; i += 2) {
            int s = int16_t(uint8_t(buf[i]) | uint8_t(buf[i + 1]) << 8);
            peak = std::max(peak, std::abs(s));
        }
    }
    EXPECT_EQ(got, 0) << "decoding stopped with an error";
    EXPECT_GE(total, 44100L * 2 * info->channels) << "less than a second of sound";
    EXPECT_GT(peak, 32767 / 4);
    ov_clear(&vf);
}
