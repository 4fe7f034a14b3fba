// Tests of the resolution list, the virtual area, font sizes and ApplyGraphics.
#include <gtest/gtest.h>

#include <algorithm>

#include "framework/graphics.h"
#include "tests/framework/support.h"

namespace {

HeadlessConfig Display(std::vector<GraphicsMode> modes) {
    HeadlessConfig config;
    config.modes = std::move(modes);
    return config;
}
const std::vector<GraphicsMode> kExample = {
    {640, 480, 32, 60}, {800, 600, 16, 60}, {800, 600, 32, 60}, {1280, 1024, 32, 60}, {1920, 1080, 32, 60}};

}  // namespace

TEST(ResolutionList, FourByThreeAndWideShapesOnceEachAndTheFallbackSize) {
    UseHeadlessPlatform(Display(kExample));
    InitGlobals();
    BuildResolutionList();
    ASSERT_EQ(ModeCount, 3);  // 5:4 refused, 800 × 600 listed once
    EXPECT_EQ(std::vector<int>(ModeWidth + 1, ModeWidth + 4), std::vector<int>({640, 800, 1920}));
    EXPECT_EQ(std::vector<int>(ModeHeight + 1, ModeHeight + 4), std::vector<int>({480, 600, 1080}));
    EXPECT_EQ(Settings[4], 2);
    Settings[5] = 1280;
    Settings[6] = 1024;
    Settings[4] = 9;
    BuildResolutionList();  // not offered: the size used last, position kept
    EXPECT_EQ(Settings[5] * 10000 + Settings[6], 8000600);
    EXPECT_EQ(WindowWidth * 10000 + WindowHeight, 8000600);
    EXPECT_EQ(Settings[4], 9);
}

TEST(VirtualArea, TheWindowsShapePicksTheArea) {
    const struct {
        int w, h, sw, sh, wide;
        std::vector<std::string> log;
    } cases[] = {{1920, 1080, 1600, 900, 1, {"\tWidescreen mode!"}},
                 {1680, 1050, 1440, 900, 1, {"\tWidescreen mode B (10:16)!"}},
                 {1024, 768, 1280, 960, 0, {}}};
    for (const auto& c : cases) {
        ScratchTree tree;
        StartClean(tree);
        WindowWidth = c.w;
        WindowHeight = c.h;
        ChooseVirtualArea();
        EXPECT_EQ(ScreenWidth * 10000 + ScreenHeight, c.sw * 10000 + c.sh) << c.w;
        EXPECT_EQ(Settings[2], c.wide) << c.w;
        EXPECT_EQ(LogOf(tree), c.log);
    }
}

TEST(Fonts, SizesAndTypefaceFollowTheWindowWidth) {
    InitGlobals();
    WindowWidth = 800;
    ChooseFontScale();
    EXPECT_EQ(RoleFontFile(1), "SVBasicManual.ttf");
    EXPECT_EQ(RoleFontSize(1), 28);
    EXPECT_EQ(RoleFontSize(2), 22);    // 16 × 1.4
    EXPECT_EQ(RoleFontSize(10), 112);  // never scaled
    const int at12[9] = {9, 14, 21, 28, 38, 48, 62, 76, 115};
    for (int slot = 0; slot <= 8; ++slot) EXPECT_EQ(SlotFontSize(slot), at12[slot]) << slot;
    WindowWidth = 1024;
    ChooseFontScale();
    EXPECT_EQ(RoleFontFile(1), "November.ttf");
    EXPECT_EQ(RoleFontSize(1), 24);
    EXPECT_EQ(RoleFontFile(6), "Blue Highway.ttf");
    EXPECT_EQ(FamilyFontFile(3), "Acknowledge TT BRK.ttf");
    WindowWidth = 599;
    ChooseFontScale();
    EXPECT_EQ(RoleFontSize(3), 32);  // 16 × 2
    EXPECT_EQ(SlotFontSize(8), 144);
}
