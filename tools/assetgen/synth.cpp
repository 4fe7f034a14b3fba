// synth.cpp — oscillators, envelopes, filters and mixing.
#include "tools/assetgen/synth.h"

#include <algorithm>
#include <cmath>

namespace assetgen {

namespace {
constexpr double kPi = 3.14159265358979323846;

size_t Samples(double seconds, int rate) { return size_t(std::max(0.0, seconds) * rate + 0.5); }

// Band-limiting correction at a waveform jump (polynomial BLEP): removes
// most of the aliasing that hard edges would fold back into the audio band.
double Blep(double p, double dt) {
    if (p < dt) {
        p /= dt;
        return p + p - p * p - 1;
    }
    if (p > 1 - dt) {
        p = (p - 1) / dt;
        return p * p + p + p + 1;
    }
    return 0;
}

// dt: phase step per sample (frequency / rate).
double OscAt(Osc o, double phase, double duty, double dt) {
    switch (o) {
        case Osc::Sine: return std::sin(2 * kPi * phase);
        case Osc::Square: {
            double v = phase < duty ? 1.0 : -1.0;
            double q = phase - duty;
            q -= std::floor(q);
            return v + Blep(phase, dt) - Blep(q, dt);
        }
        case Osc::Saw: return 2 * phase - 1 - Blep(phase, dt);
        case Osc::Triangle: return phase < 0.5 ? 4 * phase - 1 : 3 - 4 * phase;
    }
    return 0;
}
}  // namespace

double HeldTime(const Env& e, double held) {
    return e.sustain <= 0 ? std::max(held, e.attack + e.decay) : held;
}

double EnvAt(const Env& e, double t, double held) {
    held = HeldTime(e, held);
    auto level = [&](double u) {
        if (u < e.attack) return e.attack > 0 ? u / e.attack : 1.0;
        u -= e.attack;
        if (u < e.decay) {
            // Exponential-looking fall: quick at first, like a struck body.
            double k = u / e.decay;
            return e.sustain + (1 - e.sustain) * (1 - k) * (1 - k);
        }
        return e.sustain;
    };
    if (t < held) return level(t);
    double r = t - held;
    if (e.release <= 0 || r >= e.release) return 0;
    double k = 1 - r / e.release;
    return level(held) * k * k;
}

Wave Render(const Tone& t, int rate) {
    size_t n = Samples(HeldTime(t.env, t.held) + t.env.release, rate);
    Wave w(n);
    double phase = 0;
    double slide = t.slide > 0 ? t.slide : t.held;
    for (size_t i = 0; i < n; ++i) {
        double time = double(i) / rate;
        double f = t.freq;
        if (t.freqEnd > 0) {
            double k = std::min(1.0, time / slide);
            f = t.freq * std::pow(t.freqEnd / t.freq, k);
        }
        if (t.vibratoDepth > 0) f *= std::pow(2.0, t.vibratoDepth / 12 * std::sin(2 * kPi * t.vibratoHz * time));
        w[i] = float(t.amp * EnvAt(t.env, time, t.held) * OscAt(t.osc, phase, t.duty, f / rate));
        phase += f / rate;
        phase -= std::floor(phase);
    }
    return w;
}

Wave Noise(double held, const Env& e, uint32_t seed, int rate, double amp) {
    Rng rng(seed);
    size_t n = Samples(HeldTime(e, held) + e.release, rate);
    Wave w(n);
    for (size_t i = 0; i < n; ++i) w[i] = float(amp * EnvAt(e, double(i) / rate, held) * rng.Signed());
    return w;
}

Wave Fm(double freq, double ratio, double index0, double index1, double held, const Env& e, int rate, double amp) {
    double total = HeldTime(e, held) + e.release;
    size_t n = Samples(total, rate);
    Wave w(n);
    double pc = 0, pm = 0;
    for (size_t i = 0; i < n; ++i) {
        double time = double(i) / rate;
        double index = index0 + (index1 - index0) * std::min(1.0, time / total);
        double mod = std::sin(2 * kPi * pm) * index;
        w[i] = float(amp * EnvAt(e, time, held) * std::sin(2 * kPi * pc + mod));
        pc += freq / rate;
        pm += freq * ratio / rate;
        pc -= std::floor(pc);
        pm -= std::floor(pm);
    }
    return w;
}

void Filter(Wave& w, int rate, FilterMode mode, const std::function<double(double)>& cutoff, double q) {
    // Topology-preserving state variable filter: stable at any cutoff.
    double ic1 = 0, ic2 = 0;
    double k = 1 / q;
    for (size_t i = 0; i < w.size(); ++i) {
        double fc = std::clamp(cutoff(double(i) / rate), 10.0, rate * 0.45);
        double g = std::tan(kPi * fc / rate);
        double a1 = 1 / (1 + g * (g + k)), a2 = g * a1, a3 = g * a2;
        double v0 = w[i];
        double v3 = v0 - ic2;
        double v1 = a1 * ic1 + a2 * v3;
        double v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2 * v1 - ic1;
        ic2 = 2 * v2 - ic2;
        double out = mode == FilterMode::LowPass ? v2 : mode == FilterMode::BandPass ? v1 : v0 - k * v1 - v2;
        w[i] = float(out);
    }
}

void Filter(Wave& w, int rate, FilterMode mode, double cutoff, double q) {
    Filter(w, rate, mode, [cutoff](double) { return cutoff; }, q);
}

void MixInto(Wave& dst, const Wave& src, double at, int rate, double gain) {
    size_t off = Samples(at, rate);
    if (dst.size() < off + src.size()) dst.resize(off + src.size(), 0.f);
    for (size_t i = 0; i < src.size(); ++i) dst[off + i] += float(src[i] * gain);
}

void Normalize(Wave& w, double peak) {
    double m = 0;
    for (float s : w) m = std::max(m, double(std::fabs(s)));
    if (m <= 0) return;
    for (float& s : w) s = float(s * peak / m);
}

void Saturate(Wave& w, double drive) {
    double norm = std::tanh(drive);
    for (float& s : w) s = float(std::tanh(drive * s) / norm);
}

void Declick(Wave& w, int rate, double fadeIn, double fadeOut) {
    size_t a = std::min(w.size(), Samples(fadeIn, rate));
    size_t b = std::min(w.size(), Samples(fadeOut, rate));
    for (size_t i = 0; i < a; ++i) w[i] = float(w[i] * double(i) / a);
    for (size_t i = 0; i < b; ++i) w[w.size() - 1 - i] = float(w[w.size() - 1 - i] * double(i) / b);
}

}  // namespace assetgen
