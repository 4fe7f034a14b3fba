// Whole-game tests: the real start-up on the headless back ends with the
// generated asset tree, driven by scripted input on the virtual clock, read
// back through "Debug.txt", "Setup.ini" and the globals.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "app/app.h"
#include "app/globals.h"
#include "tests/framework/support.h"

namespace {

struct RunRecord {
    bool ended = false;
    int exitCode = -1;
    int homeFrames = 0;             // frames shown after loading
    uint32_t firstHomeFrameAt = 0;  // MilliSecs() at the first of them
    int curGameMode = -1, playState = -1;
};

// Runs Main() from the tree's root until the home loop has shown `frames`
// frames, then asks the window to close while a key is held, which the
// closing screen waits out and then takes as its press. onLoadingFrame runs
// after each frame shown while loading.
RunRecord RunGame(const ScratchTree& tree, int frames, std::function<void()> onLoadingFrame = {}) {
    RunRecord run;
    fs::current_path(tree.Root());
    HeadlessConfig config;
    config.openGLAvailable = true;  // no renderer fallback, so no platform notes
    UseHeadlessPlatform(config);
    HeadlessOnFlip([&](int) {
        if (MouseMode != 1) {  // still loading
            if (onLoadingFrame) onLoadingFrame();
            return;
        }
        if (run.homeFrames++ == 0) {
            run.firstHomeFrameAt = MilliSecs();
            run.curGameMode = CurGameMode;
            run.playState = PlayState;
        }
        if (run.homeFrames == frames) {
            HeadlessCloseRequest();
            HeadlessKey(65, true);
        }
    });
    try {
        Main();
    } catch (const ProgramEnded& end) {
        run.ended = true;
        run.exitCode = end.code;
    }
    HeadlessOnFlip(nullptr);
    HeadlessKey(65, false);
    CloseLog();
    fs::current_path(tree.Root());
    return run;
}

// The log catalogue of a start-up that is closed from the home loop.
std::vector<std::string> ExpectedLog(const ScratchTree& tree, std::vector<std::string> setup,
                                     const char* renderer, const char* resolution) {
    const std::string dashes(28, '-'), rule = "-=-=-=-=-=-=-=-=-=-=-=-=-=-";
    std::vector<std::string> log = {"Orvendel's Weekforge Engine", dashes, "Week #283", dashes,
                                    "#283 : Flingo ", dashes, "", "Loading"};
    log.insert(log.end(), setup.begin(), setup.end());
    for (std::string line : {"Setting Audio Driver", "Set Audio Driver", "", "\tRequested Resolution : 800x600",
                             "\tSetup Loaded", "", "Grabbing Previous Scores", "", "", rule.c_str(),
                             "Applying Graphical Settings", renderer, resolution, "", "Loading : Common Objects",
                             "", "Switching to Default Folder", "", "\tDefault Fonts", "\tDefault Icons",
                             "\tLogos", "\tBadgeGet", "", "Switching to Game Folder", "", "Loading Sound effects"}) {
        log.push_back(line);
    }
    for (int n = 1; n <= 200; ++n) {  // whatever numbered effects the asset tree holds
        char name[16];
        std::snprintf(name, sizeof name, "%03d.wav", n);
        if (fs::exists(tree.Game() / name)) log.push_back("\tSFX(" + std::to_string(n) + ")");
    }
    for (std::string line : {"Sounds loaded", "", rule.c_str(), "Finished Loading", "Closing Up", "", "Bye!",
                             "", "Play again, soon!!"}) {
        log.push_back(line);
    }
    return log;
}

}  // namespace

TEST(StartUp, RunsToTheHomeLoopAndLogsTheCatalogue) {
    const struct {
        const char *setupFile, *marker;
        std::vector<std::string> setupLines;
        const char *renderer, *resolution, *storedEngine;
    } cases[] = {
        {nullptr, nullptr, {}, "\tUsing OpenGL Driver", "\tResolution : 800x600,0", "GFX Engine = OpenGL"},
        {"[Graphics]\r\nFullscreen = True\r\nGFX Engine = DX9\r\n", nullptr,
         {"\tReading Setup File", "\tSetting to Fullscreen", "\tDirectX 9 Mode"},
         "\tUsing DirectX 9 Driver", "\tResolution : 800x600,32", "GFX Engine = DX9"},
        // A marker left by a crash turns OpenGL into DirectX 9, stored at exit.
        {"GFX Engine = OpenGL\r\n", "", {"\tReading Setup File"}, "\tUsing DirectX 9 Driver",
         "\tResolution : 800x600,0", "GFX Engine = DX9"},
    };
    for (const auto& c : cases) {
        ScratchTree tree(true);
        if (c.setupFile) WriteText(tree.Files() / "Setup.ini", c.setupFile);
        if (c.marker) WriteText(tree.Game() / "crash.dat", c.marker);
        const RunRecord run = RunGame(tree, 5);
        ASSERT_TRUE(run.ended);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_GE(run.homeFrames, 5);  // the closing page shows one more
        EXPECT_EQ(run.curGameMode * 10 + run.playState, 10);  // Medium, in the menus
        EXPECT_EQ(ReadLines(tree.Files() / "Debug.txt"),
                  ExpectedLog(tree, c.setupLines, c.renderer, c.resolution));
        EXPECT_EQ(ReadLines(tree.Files() / "Setup.ini").at(2), c.storedEngine);
        EXPECT_FALSE(fs::exists(tree.Game() / "crash.dat"));
    }
}

TEST(StartUp, TheLoadingScreenHoldsTwoAndAHalfSecondsFromTheDisplayAndNoMore) {
    ScratchTree tree(true);
    // Nothing before the display opens takes virtual time: it opens at 1000.
    RunRecord run = RunGame(tree, 2);
    ASSERT_TRUE(run.ended);
    EXPECT_GE(run.firstHomeFrameAt, 1000u + 2500);
    EXPECT_LE(run.firstHomeFrameAt, 1000u + 2500 + 17);  // one frame's pacing at most
    // A load slower than that (3 s on its opening frame) adds no hold.
    uint32_t loadedAt = 0;
    run = RunGame(tree, 2, [&] {
        HeadlessAdvance(3000);
        loadedAt = MilliSecs();
    });
    ASSERT_GT(loadedAt, 1000u + 2500);
    EXPECT_LE(run.firstHomeFrameAt - loadedAt, 17u);
}

TEST(PlaySfx, SilentEffectsDoNotTurnTheChannelsAndThe237thCutsOffTheFirst) {
    ScratchTree tree(true);
    UseHeadlessPlatform();
    InitGlobals();
    SfxTable[1] = LoadSound((tree.Files() / "Common" / "open.ogg").string());
    ASSERT_TRUE(SfxTable[1]);
    Settings[12] = 0;
    PlaySfx(1);
    Settings[12] = 50;
    PlaySfx(2);  // not loaded
    PlaySfx(201);
    EXPECT_EQ(SfxCursor, 20);
    PlaySfx(1);
    const Channel first = SfxChannels[21];
    for (int i = 2; i <= 236; ++i) PlaySfx(1);  // the 236th wraps to the unused slot 20
    EXPECT_EQ(SfxCursor, 20);
    EXPECT_TRUE(ChannelPlaying(first));
    PlaySfx(1);  // the 237th takes slot 21 again and cuts the first off
    EXPECT_EQ(SfxCursor, 21);
    EXPECT_FALSE(ChannelPlaying(first));
    EXPECT_TRUE(ChannelPlaying(SfxChannels[21]));
}
