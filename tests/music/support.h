// support.h — fixtures of the music tests: a scratch game folder with small
// samples of our own, song files written by the test, and a player driven
// millisecond by millisecond on the virtual clock with every note recorded.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "music/music.h"
#include "tests/audio/audio_test_util.h"
#include "tests/framework/support.h"

namespace musictest {

namespace fs = std::filesystem;

// One note as the hook saw it, with where the player stood when it struck.
struct Hit {
    uint32_t ms;  // since LoadSong
    int bar;      // BarsPlayed: 0 for the first bar
    int step;     // MusicStep
    StruckNote note;
};

class MusicTest : public ::testing::Test {
protected:
    // copyAssets: the built asset tree (samples and the demo song) instead of
    // the small samples written here.
    explicit MusicTest(bool copyAssets = false) : tree_(copyAssets) {}

    void SetUp() override {
        testing_support::StartClean(tree_);
        fs::create_directories(tree_.Game() / "music");
        SetMusicNoteHook([this](const StruckNote& n) {
            hits_.push_back({MilliSecs() - start_, BarsPlayed, MusicStep, n});
        });
    }
    void TearDown() override { SetMusicNoteHook(nullptr); }

    // A 0.2 s tone as "music/<name>.wav".
    void WriteSample(const std::string& name) {
        testing_support::WriteText(tree_.Game() / "music" / (name + ".wav"),
                                   audiotest::WavBytes(audiotest::Sine(440, 44100, 8820), 1, 44100, 16));
    }
    // Both drum kits and sample 1 of each melodic set.
    void WriteSamples() {
        for (int n = 1; n <= 8; ++n) {
            WriteSample("d1-" + std::to_string(n));
            WriteSample("d2-" + std::to_string(n));
        }
        for (const char* set : {"bass1", "lead1", "accompany1"}) WriteSample(set);
    }
    void WriteSong(const std::string& name, const std::string& text) {
        testing_support::WriteText(tree_.Game() / "music" / (name + ".ini"), text);
    }
    void Load(const std::string& name, int seed = 1, int tempoMs = 250) {
        hits_.clear();
        start_ = MilliSecs();
        LoadSong(name, seed, tempoMs);
    }
    // Advances the clock one millisecond at a time, one update each.
    void Play(int ms) {
        for (int i = 0; i < ms; ++i) {
            HeadlessAdvance(1);
            MusicUpdate();
        }
    }
    // The steps of one bar at which a track struck.
    std::vector<int> Steps(int track, int bar) const {
        std::vector<int> steps;
        for (const Hit& h : hits_)
            if (h.note.track == track && h.bar == bar) steps.push_back(h.step);
        return steps;
    }

    testing_support::ScratchTree tree_;
    std::vector<Hit> hits_;
    uint32_t start_ = 0;
};

// Steps first, first + stride, ... up to last.
inline std::vector<int> Every(int first, int stride, int last) {
    std::vector<int> v;
    for (int s = first; s <= last; s += stride) v.push_back(s);
    return v;
}

}  // namespace musictest
