// synth.h — the small synthesiser the sounds are made with.
//
// A Wave is mono float samples (-1..1) at the rate it was made for; times are
// seconds, frequencies hertz. Oscillators are phase accumulators, envelopes
// are attack-decay-sustain-release, filters are the stable two-pole state
// variable kind. Noise comes from a seeded generator, so every call with the
// same arguments gives the same samples.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace assetgen {

using Wave = std::vector<float>;

// xorshift32: a tiny generator with a fixed, portable sequence.
struct Rng {
    uint32_t s;
    explicit Rng(uint32_t seed) : s(seed ? seed : 0x9e3779b9u) {}
    uint32_t Next() {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    }
    double Unit() { return (Next() >> 8) / 16777216.0; }  // [0, 1)
    double Signed() { return Unit() * 2 - 1; }            // [-1, 1)
};

enum class Osc { Sine, Square, Saw, Triangle };

struct Env {
    double attack = 0.005, decay = 0.1, sustain = 0.0, release = 0.05;  // seconds; sustain 0..1
};
// How long a note is held: with sustain 0 the envelope is percussive and
// the note lasts at least its attack and decay, whatever `held` says.
double HeldTime(const Env& e, double held);
// Envelope level at time t of a note held for `held` seconds.
double EnvAt(const Env& e, double t, double held);

struct Tone {
    Osc osc = Osc::Sine;
    double freq = 440;       // start frequency
    double freqEnd = 0;      // 0: no slide; else an exponential slide to this
    double slide = 0;        // slide time; 0 = the whole held time
    double held = 0.2;       // the note sounds for held + env.release
    Env env;
    double amp = 1;
    double duty = 0.5;       // square waves only
    double vibratoHz = 0, vibratoDepth = 0;  // depth in semitones
};

Wave Render(const Tone& t, int rate);
// White noise shaped by an envelope.
Wave Noise(double held, const Env& e, uint32_t seed, int rate, double amp = 1);
// Two-operator FM: a bell or electric-piano voice. index falls from index0
// to index1 over the note, so the attack is bright and the tail pure.
Wave Fm(double freq, double ratio, double index0, double index1, double held, const Env& e, int rate,
        double amp = 1);

enum class FilterMode { LowPass, BandPass, HighPass };
// Filters in place; cutoff(t) may move over time; q around 0.5..10.
void Filter(Wave& w, int rate, FilterMode mode, const std::function<double(double)>& cutoff, double q = 0.707);
void Filter(Wave& w, int rate, FilterMode mode, double cutoff, double q = 0.707);

// Adds src (times gain) into dst starting at `at` seconds, growing dst.
void MixInto(Wave& dst, const Wave& src, double at, int rate, double gain = 1);
// Scales so the largest magnitude is `peak`.
void Normalize(Wave& w, double peak);
// Soft saturation: tanh(drive · x) / tanh(drive).
void Saturate(Wave& w, double drive);
// Short linear fades at both ends, so no sample starts or stops with a click.
void Declick(Wave& w, int rate, double fadeIn = 0.001, double fadeOut = 0.01);

}  // namespace assetgen
