// Tests of the resolution list, the virtual area, font sizes and the order of
// ApplyGraphics on the headless display.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/app.h"
#include "draw/draw.h"
#include "framework/graphics.h"
#include "framework/notices.h"
#include "framework/setup.h"
#include "music/music.h"
#include "settings/settings.h"
#include "tests/framework/support.h"

using namespace testing_support;

namespace {

HeadlessConfig ExampleDisplay() {
    HeadlessConfig config;
    config.modes = {{640, 480, 32, 60},  {800, 600, 16, 60},   {800, 600, 32, 60},
                    {1280, 1024, 32, 60}, {1920, 1080, 32, 60}};
    return config;
}

// A minimal PCM WAV: 8 frames of silence, mono 16-bit 44100 Hz.
std::string TinyWav() {
    auto u32 = [](uint32_t v) {
        return std::string{char(v & 255), char(v >> 8 & 255), char(v >> 16 & 255), char(v >> 24)};
    };
    auto u16 = [](uint16_t v) { return std::string{char(v & 255), char(v >> 8)}; };
    const std::string data(16, '\0');
    return "RIFF" + u32(36 + data.size()) + "WAVEfmt " + u32(16) + u16(1) + u16(1) +
           u32(44100) + u32(88200) + u16(2) + u16(16) + "data" + u32(data.size()) + data;
}

// Without the asset tree the engine benchmark has no sprite to draw, so
// every frame would hold the rate; a flip cost of 4 ms (19 ms frames) ends it
// at its second step and keeps these tests short.
std::vector<std::string> LogAfterApply(const ScratchTree& tree) {
    HeadlessSetFlipCost(4);
    ApplyGraphics();
    CloseLog();
    return ReadLines(tree.Files() / "Debug.txt");
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace

TEST(ResolutionList, AcceptsFourByThreeAndWideShapesOnceEach) {
    UseHeadlessPlatform(ExampleDisplay());
    InitGlobals();
    BuildResolutionList();
    // 1280 × 1024 (5:4) is refused and 800 × 600 listed once: three sizes.
    ASSERT_EQ(ModeCount, 3);
    EXPECT_EQ(ModeWidth[1], 640);
    EXPECT_EQ(ModeHeight[1], 480);
    EXPECT_EQ(ModeWidth[2], 800);
    EXPECT_EQ(ModeHeight[2], 600);
    EXPECT_EQ(ModeWidth[3], 1920);
    EXPECT_EQ(ModeHeight[3], 1080);
    EXPECT_EQ(Settings[4], 2);  // the default 800 × 600 is entry 2
}

TEST(ResolutionList, ARequestNotOfferedFallsBackToTheSizeUsedLast) {
    UseHeadlessPlatform(ExampleDisplay());
    InitGlobals();
    Settings[5] = 1280;
    Settings[6] = 1024;
    BuildResolutionList();
    EXPECT_EQ(WindowWidth, 800);
    EXPECT_EQ(WindowHeight, 600);
    EXPECT_EQ(Settings[5], 800);
    EXPECT_EQ(Settings[6], 600);
    EXPECT_EQ(Settings[4], 0);  // keeps its previous value

    Settings[5] = 1920;
    Settings[6] = 1080;
    BuildResolutionList();
    EXPECT_EQ(WindowWidth, 1920);
    EXPECT_EQ(Settings[4], 3);
}

TEST(VirtualArea, ShapeOfTheWindowPicksTheArea) {
    struct Case {
        int w, h, sw, sh, wide;
        const char* line;
    } cases[] = {
        {1920, 1080, 1600, 900, 1, "\tWidescreen mode!"},
        {1680, 1050, 1440, 900, 1, "\tWidescreen mode B (10:16)!"},
        {1024, 768, 1280, 960, 0, nullptr},
        {800, 600, 1280, 960, 0, nullptr},
    };
    for (const Case& c : cases) {
        ScratchTree tree;
        StartClean(tree);
        WindowWidth = c.w;
        WindowHeight = c.h;
        Settings[2] = 7;
        ChooseVirtualArea();
        EXPECT_EQ(ScreenWidth, c.sw) << c.w;
        EXPECT_EQ(ScreenHeight, c.sh) << c.w;
        EXPECT_EQ(Settings[2], c.wide) << c.w;
        CloseLog();
        const std::vector<std::string> log = ReadLines(tree.Files() / "Debug.txt");
        if (c.line) {
            EXPECT_EQ(log, std::vector<std::string>{c.line});
        } else {
            EXPECT_TRUE(log.empty());
        }
    }
}

TEST(Fonts, ScaleAndTypefaceFollowTheWindowWidth) {
    InitGlobals();
    WindowWidth = 800;
    ChooseFontScale();
    EXPECT_EQ(MainFontName, "SVBasicManual");
    EXPECT_EQ(RoleFontFile(1), "SVBasicManual.ttf");
    EXPECT_EQ(RoleFontSize(1), 28);
    EXPECT_EQ(RoleFontSize(2), 22);  // 16 × 1.4
    EXPECT_EQ(RoleFontSize(10), 112);  // the third typeface is never scaled
    const int at12[9] = {9, 14, 21, 28, 38, 48, 62, 76, 115};
    for (int slot = 0; slot <= 8; ++slot) EXPECT_EQ(SlotFontSize(slot), at12[slot]) << slot;

    WindowWidth = 1024;
    ChooseFontScale();
    EXPECT_EQ(MainFontName, "November");
    EXPECT_EQ(RoleFontSize(1), 24);
    EXPECT_EQ(RoleFontFile(5), "Blue Highway.ttf");
    EXPECT_EQ(RoleFontFile(13), "Acknowledge TT BRK.ttf");
    EXPECT_EQ(FamilyFontFile(1), "November.ttf");

    WindowWidth = 900;  // not below 900: scale 1, and wider than 800
    ChooseFontScale();
    EXPECT_EQ(FontScale, 1.0f);
    EXPECT_EQ(MainFontName, "November");

    WindowWidth = 599;
    ChooseFontScale();
    EXPECT_EQ(FontScale, 1.5f);
    EXPECT_EQ(FontScaleSmall, 2.0f);
    EXPECT_EQ(RoleFontSize(3), 32);
    EXPECT_EQ(SlotFontSize(8), 144);
}

TEST(ApplyGraphics, LogOrderAndCrashMarkerRemovedForAWindow) {
    ScratchTree tree;
    StartClean(tree);
    const std::vector<std::string> log = LogAfterApply(tree);
    const std::vector<std::string> expected = {
        "", "-=-=-=-=-=-=-=-=-=-=-=-=-=-", "Applying Graphical Settings",
        "\tUsing OpenGL Driver"};
    ASSERT_GE(log.size(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), log.begin()));
    EXPECT_TRUE(Contains(log, "\tResolution : 800x600,0"));
    EXPECT_EQ(log.back(), "-=-=-=-=-=-=-=-=-=-=-=-=-=-");
    EXPECT_FALSE(fs::exists(tree.Game() / "crash.dat"));
    EXPECT_EQ(fs::current_path(), tree.Game());
    EXPECT_TRUE(GraphicsOpen());
    EXPECT_EQ(GraphicsOpened, 1);
    EXPECT_EQ(VirtualResolutionWidth(), 1280.0f);
    EXPECT_EQ(VirtualResolutionHeight(), 960.0f);
}

TEST(ApplyGraphics, CrashMarkerTurnsOpenGLIntoDirectX9) {
    ScratchTree tree;
    StartClean(tree);
    WriteText(tree.Game() / "crash.dat", "");
    const std::vector<std::string> log = LogAfterApply(tree);
    EXPECT_TRUE(Contains(log, "\tUsing DirectX 9 Driver"));
    EXPECT_FALSE(Contains(log, "\tUsing OpenGL Driver"));
    EXPECT_EQ(Settings[3], 1);
    EXPECT_FALSE(fs::exists(tree.Game() / "crash.dat"));
}

TEST(ApplyGraphics, DirectX7FallsBackWithThePlatformsNote) {
    ScratchTree tree;
    StartClean(tree);
    Settings[3] = 2;
    WriteText(tree.Game() / "crash.dat", "");  // a Direct3D choice is never changed
    const std::vector<std::string> log = LogAfterApply(tree);
    const auto at = std::find(log.begin(), log.end(), "\tUsing DirectX 7 Driver");
    ASSERT_NE(at, log.end());
    EXPECT_EQ(Settings[3], 2);
    // The line after the renderer is the platform's note (tab-indented), not
    // the resolution.
    ASSERT_NE(at + 1, log.end());
    EXPECT_EQ((at + 1)->rfind("\t", 0), 0u);
    EXPECT_EQ((at + 1)->find("Resolution"), std::string::npos);
    EXPECT_EQ(CurrentRenderer(), RendererSoftware);
}

TEST(ApplyGraphics, FullScreenPicksTheDeepestModeOrFallsBackToAWindow) {
    {
        ScratchTree tree;
        StartClean(tree, "Files/283", ExampleDisplay());
        Settings[1] = 1;
        EXPECT_TRUE(Contains(LogAfterApply(tree), "\tResolution : 800x600,32"));
        EXPECT_TRUE(AnnouncementList.empty());
    }
    {
        ScratchTree tree;
        HeadlessConfig sixteen = ExampleDisplay();
        sixteen.modes = {{1024, 768, 16, 60}};
        StartClean(tree, "Files/283", sixteen);
        Settings[1] = 1;
        Settings[5] = 1024;
        Settings[6] = 768;
        EXPECT_TRUE(Contains(LogAfterApply(tree), "\tResolution : 1024x768,16"));
    }
    {
        // 800 × 600 is not among the display's modes: a window and a notice.
        ScratchTree tree;
        HeadlessConfig none = ExampleDisplay();
        none.modes = {{1024, 768, 32, 60}};
        StartClean(tree, "Files/283", none);
        Settings[1] = 1;
        // The notice shows over the engine benchmark's frames (and may have
        // faded by the end): taken at the first frame shown after it.
        std::vector<Announcement> shown;
        HeadlessOnFlip([&](int) {
            if (shown.empty() && !AnnouncementList.empty())
                shown.assign(AnnouncementList.begin(), AnnouncementList.end());
        });
        EXPECT_TRUE(Contains(LogAfterApply(tree), "\tResolution : 800x600,0"));
        HeadlessOnFlip(nullptr);
        EXPECT_EQ(Settings[1], 1);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown.front().txt, "Can't set to fullscreen in this resolution.");
        EXPECT_EQ(shown.front().c, 1);
    }
}

TEST(ApplyGraphics, OnlyPresentSoundEffectsAreLoggedInOrder) {
    ScratchTree tree;
    StartClean(tree);
    for (const char* name : {"005.wav", "001.wav", "002.wav"}) WriteText(tree.Game() / name, TinyWav());
    WriteText(tree.Game() / "5.wav", TinyWav());  // not a three-digit name
    const std::vector<std::string> log = LogAfterApply(tree);
    std::vector<std::string> sfx;
    for (const std::string& line : log) {
        if (line.rfind("\tSFX(", 0) == 0) sfx.push_back(line);
    }
    EXPECT_EQ(sfx, (std::vector<std::string>{"\tSFX(1)", "\tSFX(2)", "\tSFX(5)"}));
    EXPECT_TRUE(SfxTable[1] && SfxTable[2] && SfxTable[5]);
    EXPECT_FALSE(SfxTable[3]);
    const auto loading = std::find(log.begin(), log.end(), "Loading Sound effects");
    ASSERT_NE(loading, log.end());
    EXPECT_EQ(*(loading + 1), "\tSFX(1)");
    EXPECT_EQ(*(loading + 4), "Sounds loaded");
}

TEST(ApplyGraphics, SecondApplicationClosesTheDisplayAndSkipsTheOpening) {
    ScratchTree tree(true);  // with "open.ogg"
    StartClean(tree);
    ApplyGraphics();
    EXPECT_NE(SfxChannels[256], 0);  // the opening sound was cued
    SfxChannels[256] = 0;
    ApplyGraphics();
    EXPECT_EQ(SfxChannels[256], 0);  // ... and only at the first display of the run
    EXPECT_EQ(GraphicsOpened, 1);
    CloseLog();
    const std::vector<std::string> log = ReadLines(tree.Files() / "Debug.txt");
    EXPECT_EQ(std::count(log.begin(), log.end(), "\tChanged Graphics Mode ingame."), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "Applying Graphical Settings"), 2);
}
