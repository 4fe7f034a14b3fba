// jukebox_test.cpp — the example game from start to exit on the headless back
// ends, linked without any of Flingo's own libraries: it lists the songs,
// plays one, opens the settings panel, takes a screenshot and leaves through
// the closing screen into a "Files/" of its own.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "examples/jukebox/jukebox.h"
#include "framework/settings_screen.h"
#include "framework/setup.h"
#include "music/music.h"
#include "platform/headless/headless.h"

namespace {

namespace fs = std::filesystem;

constexpr int KeyTab = 9, KeyEsc = 27, KeySpace = 32, KeyF11 = 122;

std::string FirstLine(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

TEST(Jukebox, PlaysASongAndEndsThroughTheClosingScreen) {
    // The layout the build gives build/examples/: the common assets and the
    // game's music, nothing of Flingo's game folder.
    const fs::path build = FLINGO_BUILD_DIR;
    std::string pattern = (fs::temp_directory_path() / "flingo-jukebox-XXXXXX").string();
    const fs::path root = mkdtemp(pattern.data());
    fs::create_directories(root / "Files" / "001");
    fs::copy(build / "Files" / "Common", root / "Files" / "Common", fs::copy_options::recursive);
    fs::copy(build / "Files" / "283" / "music", root / "Files" / "001" / "music",
             fs::copy_options::recursive);
    const fs::path previous = fs::current_path();
    fs::current_path(root);

    UseHeadlessPlatform();
    int notes = 0, playingAt60 = -2, panelAt90 = -1, delaysAfterEscape = -1;
    SetMusicNoteHook([&](const StruckNote&) { ++notes; });
    // 800 × 600 window over the 1280 × 960 area: window = virtual × 0.625.
    // Row 0 spans y 300..348 from x 360: point at (460, 324).
    HeadlessOnFlip([&](int frame) {
        if (frame == 5) HeadlessMouseMove(287, 202);
        if (frame == 6) HeadlessMouseButton(1, true);
        if (frame == 7) HeadlessMouseButton(1, false);
        if (frame == 60) playingAt60 = JukeboxPlaying;
        if (frame == 70 || frame == 95) HeadlessTap(KeyTab);
        if (frame == 90) panelAt90 = SettingsOpen;
        if (frame == 120) HeadlessTap(KeyF11);
        if (frame == 130) {
            HeadlessTap(KeyEsc);
            delaysAfterEscape = 0;
        }
    });
    // The closing screen waits without showing frames; a key ends it.
    HeadlessOnDelay([&](uint32_t) {
        if (delaysAfterEscape >= 0 && ++delaysAfterEscape == 60) HeadlessKey(KeySpace, true);
    });
    int exitCode = -1;
    try {
        JukeboxMain();
    } catch (const ProgramEnded& end) {
        exitCode = end.code;
    }
    HeadlessOnFlip(nullptr);
    HeadlessOnDelay(nullptr);
    SetMusicNoteHook(nullptr);
    HeadlessKey(KeySpace, false);
    CloseLog();

    EXPECT_EQ(exitCode, 0);
    ASSERT_FALSE(JukeboxRows.empty()) << "the songs of music/ are listed";
    EXPECT_EQ(JukeboxRows.size() % JukeboxTakes, 0u);
    EXPECT_EQ(playingAt60, 0) << "the clicked row plays";
    EXPECT_GT(notes, 0) << "through the sequencer";
    EXPECT_FALSE(MusicPlaying) << "stopped on the way out";
    EXPECT_EQ(panelAt90, 1) << "Tab opened the settings panel";

    // Its own setup file, log and screenshot, in its own tree.
    EXPECT_TRUE(fs::exists(root / "Files" / "Setup.ini"));
    EXPECT_EQ(FirstLine(root / "Files" / "Debug.txt"), "#1 : Jukebox ");
    int shots = 0;
    for (const auto& e : fs::directory_iterator(root / "Files"))
        if (e.path().extension() == ".png" && e.path().filename().string().rfind("Jukebox", 0) == 0)
            ++shots;
    EXPECT_EQ(shots, 1);
    EXPECT_FALSE(fs::exists(root / "Files" / "283"));

    fs::current_path(previous);
    fs::remove_all(root);
}

}  // namespace
