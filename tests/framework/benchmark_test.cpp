// Tests of the engine benchmark on the headless frame-cost model: where it
// stops, the budgets and rate it settles on, its log lines, slow-system mode.
#include <gtest/gtest.h>

#include <algorithm>

#include "draw/draw.h"
#include "framework/engine_test.h"
#include "framework/frame.h"
#include "framework/graphics.h"
#include "framework/setup.h"
#include "settings/settings.h"
#include "tests/framework/support.h"

using namespace testing_support;

namespace {

struct Machine {
    const char* what;
    double spriteCostMs;  // virtual time per textured draw
    int slowAtStart;      // Settings[7] before the run
    int aim;              // the target logged and used
    int logged;           // "Main sprites" in the log, before the 1000 floor
    int mainSprites, targetFps, slowAfter;
    bool overwritten;     // the 30 fps line
};

// Frames last max(15, draws + 1) ms; 54 fps needs frames of 18 ms at most,
// 24 fps frames of 41 ms. n sprites mean n + 3 textured draws a frame.
const Machine kMachines[] = {
    // 12003 × 0.00145 = 17.4 ms holds, 12503 × 0.00145 = 18.1 ms drops.
    {"holds 54 fps to 12000", 0.00145, 0, 60, 10800, 10800, 60, 0, false},
    // 1003 × 0.012 = 12 ms holds, 1503 × 0.012 = 18 ms drops: 900 < 1000.
    {"holds only to 1000", 0.012, 0, 60, 900, 1000, 30, 1, true},
    // 4003 × 0.01 = 40 ms (41 ms frames, 24 fps) holds against 24, 4503 drops.
    {"already slow", 0.010, 1, 30, 3600, 3600, 30, 1, true},
};

std::vector<std::string> ExpectedLines(const Machine& m) {
    const std::string t = std::to_string(m.aim);
    std::vector<std::string> lines = {"Starting Engine Test", "Aiming for " + t + ",2",
                                      "Test Complete", "", "Engine Test Results", "",
                                      "\tMaximum Sprites Allowed for " + t + " Frames Per Second",
                                      "\tMain sprites : " + std::to_string(m.logged),
                                      "\tGlowy Sprites : 500", "\tParticles : 500", ""};
    if (m.overwritten) lines.push_back("Settings Overwritten, Set to Default Lower Limits at 30fps.");
    lines.push_back("");
    return lines;
}

}  // namespace

TEST(EngineTest, StopsWhereTheMachineDropsAndSetsTheBudgets) {
    for (const Machine& m : kMachines) {
        SCOPED_TRACE(m.what);
        ScratchTree tree;
        HeadlessConfig config;
        config.spriteCostMs = m.spriteCostMs;
        StartClean(tree, "Files/283", config);
        // A small window: the virtual area is what the sprites are spread over.
        ASSERT_TRUE(Graphics(320, 240, 0, 60, 0));
        SetVirtualResolution(1280, 960);
        IconImageCrisp = LoadAnimImage(std::string(FLINGO_BUILD_DIR) + "/Files/Common/icons.png",
                                       16, 16, 0, 64, 1);
        ASSERT_TRUE(IconImageCrisp);
        Settings[7] = m.slowAtStart;
        OverlayOn = 1;
        LastFrameTime = MilliSecs();

        EngineTest(60, 2);
        CloseLog();

        EXPECT_EQ(ReadLines(tree.Files() / "Debug.txt"), ExpectedLines(m));
        EXPECT_EQ(DrawLimit[1], m.mainSprites);
        EXPECT_EQ(DrawLimit[2], 500);
        EXPECT_EQ(DrawLimit[3], 500);
        EXPECT_EQ(TargetFps, m.targetFps);
        EXPECT_EQ(Settings[7], m.slowAfter);
        EXPECT_EQ(OverlayOn, 0);
        // Slow-system mode reaches the next saved file.
        const std::vector<std::string> setup = SetupFileLines();
        EXPECT_EQ(std::count_if(setup.begin(), setup.end(),
                                [](const std::string& l) { return l.rfind("ESS=1", 0) == 0; }),
                  m.slowAfter);
    }
}

TEST(EngineTest, NinetyPercentOfTheBestIsExact) {
    const int cases[][2] = {{12000, 10800}, {1500, 1350}, {20000, 18000}, {1111, 999}, {0, 0}};
    for (const auto& c : cases) EXPECT_EQ(MainSpriteBudget(c[0]), c[1]) << c[0];
}
