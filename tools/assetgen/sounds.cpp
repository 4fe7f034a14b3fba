// sounds.cpp — the numbered sound effects ("002.wav" ...) of the game folder
// and the opening jingle "open.ogg" of the common folder.
//
// Effect numbers are the ones the game plays: 2..16 a caught ball (each ball
// carries one of them), 17 a ball leaving through a side wall, 20 a dropped
// ball, 98 the menu click (played at rates 0.95 to 2), 99 the blip of the
// login form's focus (also at rate 0.5). The game varies the pitch of every
// catch by 0.7..1.4, so the catch series stays clear of the extremes.
#include <cmath>
#include <cstdio>
#include <string>

#include "tools/assetgen/assetgen.h"
#include "tools/assetgen/output.h"
#include "tools/assetgen/synth.h"

namespace assetgen {

namespace {

constexpr int kRate = 44100;

double Semitones(double base, double semis) { return base * std::pow(2.0, semis / 12.0); }

// A caught ball: a bright "pling". k = 0..14 climbs a major pentatonic scale
// from G4 over three octaves, and the higher notes get more of a filtered
// square wave on top of the sine, so they also sound brighter.
Wave Catch(int k) {
    static const int kScale[5] = {0, 2, 4, 7, 9};
    double f = Semitones(392.0, 12 * (k / 5) + kScale[k % 5]);
    double bright = k / 14.0;
    Wave w;
    Tone body{Osc::Sine, f * 0.94, f, 0.012, 0.02, {0.002, 0.26, 0.0, 0.06}, 0.8};
    MixInto(w, Render(body, kRate), 0, kRate);
    Tone octave{Osc::Sine, f * 2, 0, 0, 0.02, {0.001, 0.12, 0.0, 0.03}, 0.25};
    MixInto(w, Render(octave, kRate), 0, kRate);
    Tone edge{Osc::Square, f, 0, 0, 0.02, {0.001, 0.09 + 0.08 * bright, 0.0, 0.03}, 0.12 + 0.3 * bright, 0.3};
    Wave e = Render(edge, kRate);
    Filter(e, kRate, FilterMode::LowPass, f * (2.5 + 4 * bright), 0.9);
    MixInto(w, e, 0, kRate);
    Wave tap = Noise(0.004, {0.0005, 0.004, 0, 0.002}, 700 + k, kRate, 0.5);
    Filter(tap, kRate, FilterMode::HighPass, 3000);
    MixInto(w, tap, 0, kRate);
    Normalize(w, 0.8);
    Declick(w, kRate, 0.0005, 0.02);
    return w;
}

// A ball leaving through a side wall: a breathy whoosh whose band sweeps up
// and falls away again.
Wave Whoosh() {
    Wave w = Noise(0.32, {0.16, 0.16, 0.5, 0.22}, 17, kRate);
    Filter(
        w, kRate, FilterMode::BandPass,
        [](double t) { return t < 0.24 ? 350 * std::pow(10.0, t / 0.24) : 3500 * std::pow(0.3, (t - 0.24) / 0.3); },
        1.6);
    Wave air = Noise(0.32, {0.2, 0.1, 0.6, 0.2}, 117, kRate, 0.25);
    Filter(air, kRate, FilterMode::HighPass, 5000);
    MixInto(w, air, 0, kRate);
    Normalize(w, 0.75);
    Declick(w, kRate);
    return w;
}

// A dropped ball: a low thud with a sour buzz after it.
Wave Drop() {
    Wave w;
    Tone thump{Osc::Sine, 160, 42, 0.22, 0.05, {0.002, 0.36, 0.0, 0.1}, 1.0};
    MixInto(w, Render(thump, kRate), 0, kRate);
    Wave knock = Noise(0.03, {0.001, 0.05, 0, 0.02}, 20, kRate, 0.7);
    Filter(knock, kRate, FilterMode::LowPass, 700);
    MixInto(w, knock, 0, kRate);
    Tone buzz{Osc::Square, 73.4, 55, 0.3, 0.22, {0.01, 0.12, 0.5, 0.14}, 0.45, 0.4};
    Wave b = Render(buzz, kRate);
    Filter(b, kRate, FilterMode::LowPass, 500, 1.2);
    MixInto(w, b, 0.04, kRate);
    Saturate(w, 1.5);
    Normalize(w, 0.85);
    Declick(w, kRate, 0.0005, 0.03);
    return w;
}

// The menu click: a short bright tick with a little body.
Wave Click() {
    Wave w;
    Tone tick{Osc::Sine, 2400, 1800, 0.02, 0.004, {0.0005, 0.025, 0.0, 0.01}, 0.8};
    MixInto(w, Render(tick, kRate), 0, kRate);
    Tone body{Osc::Triangle, 900, 700, 0.03, 0.006, {0.0005, 0.03, 0.0, 0.01}, 0.5};
    MixInto(w, Render(body, kRate), 0, kRate);
    Wave snap = Noise(0.002, {0.0002, 0.004, 0, 0.002}, 98, kRate, 0.6);
    Filter(snap, kRate, FilterMode::HighPass, 4000);
    MixInto(w, snap, 0, kRate);
    Normalize(w, 0.7);
    Declick(w, kRate, 0.0002, 0.005);
    return w;
}

// The focus blip: a soft rising square chirp.
Wave Blip() {
    Tone t{Osc::Square, 1100, 1650, 0.03, 0.04, {0.002, 0.05, 0.3, 0.03}, 0.6, 0.25};
    Wave w = Render(t, kRate);
    Filter(w, kRate, FilterMode::LowPass, 4500);
    Normalize(w, 0.6);
    Declick(w, kRate, 0.001, 0.008);
    return w;
}

std::string Numbered(int n) {
    char name[16];
    std::snprintf(name, sizeof name, "%03d.wav", n);
    return name;
}

}  // namespace

void WriteSoundEffects(const std::string& gameDir) {
    for (int n = 2; n <= 16; ++n) WriteWav(gameDir + "/" + Numbered(n), Catch(n - 2), kRate);
    WriteWav(gameDir + "/" + Numbered(17), Whoosh(), kRate);
    WriteWav(gameDir + "/" + Numbered(20), Drop(), kRate);
    WriteWav(gameDir + "/" + Numbered(98), Click(), kRate);
    WriteWav(gameDir + "/" + Numbered(99), Blip(), kRate);
}

// The opening sound, heard while the rest loads: a bell arpeggio up a major
// chord, answered by the full chord with a sparkle on top. Stereo, about 1.8 s.
void WriteJingle(const std::string& commonDir) {
    Wave left, right;
    const double notes[] = {523.25, 659.26, 783.99, 1046.5};
    for (int i = 0; i < 4; ++i) {
        Wave bell = Fm(notes[i], 3.5, 2.2, 0.2, 0.1, {0.003, 0.5, 0.15, 0.5}, kRate, 0.45);
        double pan = i % 2 == 0 ? 0.3 : 0.7;  // 0 left .. 1 right
        MixInto(left, bell, 0.11 * i, kRate, 1 - pan);
        MixInto(right, bell, 0.11 * i, kRate, pan);
    }
    const double chord[] = {261.63, 329.63, 392.0, 523.25};
    for (int i = 0; i < 4; ++i) {
        Tone pad{Osc::Saw, chord[i] * (1 + 0.002 * (i - 1.5)), 0, 0, 0.55, {0.06, 0.4, 0.5, 0.7}, 0.22};
        Wave p = Render(pad, kRate);
        Filter(p, kRate, FilterMode::LowPass, [](double t) { return 3200 * std::exp(-t * 1.8) + 500; }, 0.8);
        MixInto(left, p, 0.46, kRate, i % 2 == 0 ? 0.65 : 0.35);
        MixInto(right, p, 0.46, kRate, i % 2 == 0 ? 0.35 : 0.65);
    }
    Rng rng(283);
    for (int i = 0; i < 9; ++i) {
        double at = 0.5 + 0.09 * i + 0.03 * rng.Unit();
        double f = 2093.0 * std::pow(2.0, std::floor(rng.Unit() * 5) * 2 / 12.0);
        Wave ping = Fm(f, 2.0, 1.0, 0.0, 0.01, {0.001, 0.12, 0.0, 0.1}, kRate, 0.12 * (1 - i / 12.0));
        double pan = rng.Unit();
        MixInto(left, ping, at, kRate, 1 - pan);
        MixInto(right, ping, at, kRate, pan);
    }
    size_t n = std::max(left.size(), right.size());
    left.resize(n, 0.f);
    right.resize(n, 0.f);
    double peak = 0;
    for (size_t i = 0; i < n; ++i) peak = std::max({peak, double(std::fabs(left[i])), double(std::fabs(right[i]))});
    for (size_t i = 0; i < n; ++i) {
        left[i] = float(left[i] * 0.8 / peak);
        right[i] = float(right[i] * 0.8 / peak);
    }
    Declick(left, kRate, 0.001, 0.05);
    Declick(right, kRate, 0.001, 0.05);
    WriteOgg(commonDir + "/open.ogg", left, right, kRate, 0.4f);
}

}  // namespace assetgen
