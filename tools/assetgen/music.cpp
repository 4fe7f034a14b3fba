// music.cpp — the sequencer's sample sets and a demo song, in "283/music/".
//
// The loader reads two drum kits of eight ("d1-1.wav" .. "d1-8.wav",
// "d2-1.wav" .. "d2-8.wav") and up to eight each of "bass<n>.wav",
// "lead<n>.wav" and "accompany<n>.wav". Melodic samples are played at a rate
// factor per note, where the key q is factor 1, so each is recorded at its
// set's reference pitch: C3 for bass, C4 for lead and accompaniment.
#include <cmath>
#include <string>

#include "tools/assetgen/assetgen.h"
#include "tools/assetgen/output.h"
#include "tools/assetgen/synth.h"

namespace assetgen {

namespace {

constexpr int kRate = 44100;
constexpr double kC3 = 130.81, kC4 = 261.63;

Wave Finish(Wave w, double peak = 0.85) {
    Normalize(w, peak);
    Declick(w, kRate, 0.0003, 0.01);
    return w;
}

Wave Filtered(Wave w, FilterMode m, double cutoff, double q = 0.707) {
    Filter(w, kRate, m, cutoff, q);
    return w;
}

// Metallic ringing: square waves at inharmonic ratios, the classic way to
// fake cymbals and bells with oscillators.
Wave Metal(double base, double held, const Env& e, double hp) {
    static const double kRatios[6] = {1.0, 1.342, 1.2312, 1.6532, 1.9523, 2.1523};
    Wave w;
    for (double r : kRatios) MixInto(w, Render(Tone{Osc::Square, base * r, 0, 0, held, e, 0.2}, kRate), 0, kRate);
    return Filtered(std::move(w), FilterMode::HighPass, hp, 0.9);
}

Wave Drum(int kit, int n) {
    Wave w;
    if (kit == 1) {
        switch (n) {
            case 1:  // kick
                MixInto(w, Render(Tone{Osc::Sine, 170, 48, 0.09, 0.05, {0.001, 0.35, 0, 0.08}}, kRate), 0, kRate);
                MixInto(w, Filtered(Noise(0.004, {0.0005, 0.006, 0, 0.002}, 101, kRate, 0.6), FilterMode::LowPass, 3000), 0, kRate);
                break;
            case 2:  // snare
                MixInto(w, Filtered(Noise(0.02, {0.001, 0.18, 0, 0.05}, 102, kRate), FilterMode::BandPass, 2200, 0.6), 0, kRate);
                MixInto(w, Render(Tone{Osc::Triangle, 210, 180, 0.05, 0.02, {0.001, 0.09, 0, 0.03}, 0.7}, kRate), 0, kRate);
                break;
            case 3:  // closed hat
                MixInto(w, Filtered(Noise(0.005, {0.0005, 0.045, 0, 0.01}, 103, kRate), FilterMode::HighPass, 7500), 0, kRate);
                MixInto(w, Metal(420, 0.005, {0.0005, 0.04, 0, 0.01}, 8000), 0, kRate, 0.4);
                break;
            case 4:  // open hat
                MixInto(w, Filtered(Noise(0.05, {0.001, 0.3, 0.1, 0.15}, 104, kRate), FilterMode::HighPass, 6500), 0, kRate);
                MixInto(w, Metal(420, 0.05, {0.001, 0.3, 0.1, 0.15}, 7000), 0, kRate, 0.4);
                break;
            case 5:  // clap: three quick slaps and a tail
                for (int k = 0; k < 3; ++k)
                    MixInto(w, Noise(0.002, {0.0005, 0.008, 0, 0.002}, 105 + k, kRate), 0.011 * k, kRate);
                MixInto(w, Noise(0.01, {0.001, 0.16, 0, 0.04}, 108, kRate, 0.7), 0.033, kRate);
                Filter(w, kRate, FilterMode::BandPass, 1300, 0.9);
                break;
            case 6:  // low tom
                MixInto(w, Render(Tone{Osc::Sine, 120, 82, 0.3, 0.05, {0.001, 0.4, 0, 0.1}}, kRate), 0, kRate);
                MixInto(w, Filtered(Noise(0.01, {0.001, 0.03, 0, 0.01}, 109, kRate, 0.3), FilterMode::LowPass, 1500), 0, kRate);
                break;
            case 7:  // high tom
                MixInto(w, Render(Tone{Osc::Sine, 200, 145, 0.25, 0.04, {0.001, 0.3, 0, 0.08}}, kRate), 0, kRate);
                MixInto(w, Filtered(Noise(0.01, {0.001, 0.03, 0, 0.01}, 110, kRate, 0.3), FilterMode::LowPass, 2000), 0, kRate);
                break;
            default:  // crash
                MixInto(w, Filtered(Noise(0.2, {0.002, 1.1, 0.1, 0.5}, 111, kRate), FilterMode::HighPass, 4200), 0, kRate);
                MixInto(w, Metal(310, 0.2, {0.002, 1.0, 0.1, 0.5}, 5000), 0, kRate, 0.6);
                break;
        }
    } else {
        switch (n) {
            case 1:  // long booming kick
                MixInto(w, Render(Tone{Osc::Sine, 110, 40, 0.12, 0.1, {0.001, 0.7, 0, 0.2}}, kRate), 0, kRate);
                Saturate(w, 2.0);
                break;
            case 2:  // rim shot
                MixInto(w, Render(Tone{Osc::Triangle, 1700, 0, 0, 0.004, {0.0005, 0.03, 0, 0.01}}, kRate), 0, kRate);
                MixInto(w, Render(Tone{Osc::Sine, 520, 0, 0, 0.004, {0.0005, 0.04, 0, 0.01}, 0.6}, kRate), 0, kRate);
                break;
            case 3:  // shaker
                MixInto(w, Filtered(Noise(0.03, {0.025, 0.08, 0, 0.03}, 201, kRate), FilterMode::BandPass, 5200, 1.2), 0, kRate);
                break;
            case 4:  // tambourine: jingles struck twice
                for (int k = 0; k < 2; ++k)
                    MixInto(w, Metal(630, 0.02, {0.001, 0.18, 0, 0.08}, 6000), 0.02 * k, kRate, k ? 0.5 : 1.0);
                MixInto(w, Filtered(Noise(0.02, {0.001, 0.15, 0, 0.05}, 202, kRate, 0.5), FilterMode::HighPass, 8000), 0, kRate);
                break;
            case 5: {  // cowbell
                Env e{0.001, 0.3, 0.05, 0.1};
                MixInto(w, Render(Tone{Osc::Square, 545, 0, 0, 0.04, e, 0.5}, kRate), 0, kRate);
                MixInto(w, Render(Tone{Osc::Square, 815, 0, 0, 0.04, e, 0.5}, kRate), 0, kRate);
                Filter(w, kRate, FilterMode::BandPass, 900, 1.5);
                break;
            }
            case 6:  // low conga
                MixInto(w, Render(Tone{Osc::Sine, 230, 190, 0.05, 0.02, {0.001, 0.25, 0, 0.06}}, kRate), 0, kRate);
                MixInto(w, Filtered(Noise(0.004, {0.0005, 0.01, 0, 0.004}, 203, kRate, 0.4), FilterMode::BandPass, 1800), 0, kRate);
                break;
            case 7:  // high conga
                MixInto(w, Render(Tone{Osc::Sine, 340, 300, 0.04, 0.02, {0.001, 0.2, 0, 0.05}}, kRate), 0, kRate);
                MixInto(w, Filtered(Noise(0.004, {0.0005, 0.01, 0, 0.004}, 204, kRate, 0.4), FilterMode::BandPass, 2500), 0, kRate);
                break;
            default:  // laser zap
                MixInto(w, Render(Tone{Osc::Square, 1800, 90, 0.16, 0.12, {0.001, 0.1, 0.5, 0.05}, 0.6, 0.3}, kRate), 0, kRate);
                Filter(w, kRate, FilterMode::LowPass, 5000);
                break;
        }
    }
    return Finish(std::move(w));
}

Wave Bass(int n) {
    Wave w;
    if (n == 1) {  // plucked saw with a closing filter
        w = Render(Tone{Osc::Saw, kC3, 0, 0, 0.4, {0.002, 0.3, 0.4, 0.15}}, kRate);
        Filter(w, kRate, FilterMode::LowPass, [](double t) { return 200 + 2200 * std::exp(-t * 12); }, 1.4);
    } else if (n == 2) {  // pulse bass
        w = Render(Tone{Osc::Square, kC3, 0, 0, 0.4, {0.002, 0.2, 0.6, 0.1}, 1, 0.3}, kRate);
        Filter(w, kRate, FilterMode::LowPass, 900, 0.9);
    } else {  // round sub bass
        w = Render(Tone{Osc::Sine, kC3, 0, 0, 0.45, {0.004, 0.3, 0.7, 0.15}}, kRate);
        MixInto(w, Render(Tone{Osc::Triangle, kC3 * 2, 0, 0, 0.45, {0.004, 0.1, 0.2, 0.15}, 0.3}, kRate), 0, kRate);
    }
    return Finish(std::move(w));
}

Wave Lead(int n) {
    Wave w;
    if (n == 1) {  // square lead with a gentle vibrato
        Tone t{Osc::Square, kC4, 0, 0, 0.55, {0.01, 0.2, 0.7, 0.2}, 1, 0.5, 5.5, 0.15};
        w = Render(t, kRate);
        Filter(w, kRate, FilterMode::LowPass, 3500);
    } else if (n == 2) {  // two detuned saws
        w = Render(Tone{Osc::Saw, kC4 * 0.997, 0, 0, 0.55, {0.01, 0.3, 0.6, 0.2}}, kRate);
        MixInto(w, Render(Tone{Osc::Saw, kC4 * 1.003, 0, 0, 0.55, {0.01, 0.3, 0.6, 0.2}}, kRate), 0, kRate);
        Filter(w, kRate, FilterMode::LowPass, [](double t) { return 1200 + 3000 * std::exp(-t * 6); }, 1.0);
    } else {  // bell (a whole-number ratio keeps the note's pitch clear)
        w = Fm(kC4, 4.0, 3.0, 0.3, 0.3, {0.002, 0.6, 0.1, 0.4}, kRate);
    }
    return Finish(std::move(w), 0.8);
}

Wave Accompany(int n) {
    Wave w;
    if (n == 1) {  // soft pad
        for (double d : {0.994, 1.0, 1.006})
            MixInto(w, Render(Tone{Osc::Saw, kC4 * d, 0, 0, 0.9, {0.12, 0.4, 0.7, 0.4}}, kRate), 0, kRate);
        Filter(w, kRate, FilterMode::LowPass, 1400, 0.8);
    } else if (n == 2) {  // organ: a few sine harmonics
        const double parts[][2] = {{1, 1.0}, {2, 0.5}, {3, 0.3}, {4, 0.2}, {6, 0.1}};
        for (const auto& p : parts)
            MixInto(w, Render(Tone{Osc::Sine, kC4 * p[0], 0, 0, 0.8, {0.01, 0.1, 0.9, 0.1}, p[1]}, kRate), 0, kRate);
    } else {  // electric piano
        w = Fm(kC4, 1.0, 1.8, 0.2, 0.5, {0.002, 0.8, 0.2, 0.4}, kRate);
        MixInto(w, Fm(kC4 * 2, 7.0, 0.8, 0.0, 0.05, {0.001, 0.1, 0, 0.05}, kRate, 0.15), 0, kRate);
    }
    return Finish(std::move(w), 0.8);
}

// A demo song in the sequencer's text format: sections in brackets, optional
// "Stretch" lines, and pattern lines between double quotes. Drum lines hold
// drum numbers (anything else rests), chord lines one key per quarter bar
// (eight keys: a two-bar phrase with fills), melodic lines one key per step
// with spaces as rests. Keys: z s x d c v g b h n j m (low octave), q 2 w 3 e
// r 5 t 6 y 7 u (q = the sample's own pitch), i 9 o 0 p [ = ] (high octave).
const char* kDemoSong =
    "; Demo song for the sample sets beside it.\n"
    "\n"
    "[Drums]\n"
    "Stretch = False\n"
    "\"1000300010003000\"\n"
    "\"1030300010303050\"\n"
    "\"1000300410003040\"\n"
    "\"1000500010005080\"\n"
    "\n"
    "[Chords]\n"
    "\"qqrrttqq\"\n"
    "\"qqeerrtt\"\n"
    "\"eerrqqtt\"\n"
    "\n"
    "[Bass]\n"
    "Stretch = Random\n"
    "\"q   q   q q t   \"\n"
    "\"q     t   q   e \"\n"
    "\n"
    "[Melody]\n"
    "Stretch = Random+\n"
    "\"q w e t e w q   t   e   w   q   \"\n"
    "\"e   t   i   t   e r e w q       \"\n"
    "\n"
    "[Accompany]\n"
    "Stretch = Double\n"
    "\"q       e       t       e       \"\n"
    "\"q   e   t   e   q   e   t   i   \"\n";

}  // namespace

void WriteMusic(const std::string& musicDir) {
    for (int kit = 1; kit <= 2; ++kit)
        for (int n = 1; n <= 8; ++n)
            WriteWav(musicDir + "/d" + std::to_string(kit) + "-" + std::to_string(n) + ".wav", Drum(kit, n), kRate);
    for (int n = 1; n <= 3; ++n) {
        WriteWav(musicDir + "/bass" + std::to_string(n) + ".wav", Bass(n), kRate);
        WriteWav(musicDir + "/lead" + std::to_string(n) + ".wav", Lead(n), kRate);
        WriteWav(musicDir + "/accompany" + std::to_string(n) + ".wav", Accompany(n), kRate);
    }
    WriteText(musicDir + "/demo.ini", kDemoSong);
}

}  // namespace assetgen
