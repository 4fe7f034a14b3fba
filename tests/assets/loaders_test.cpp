// loaders_test.cpp — the game's own loaders accept every generated file the
// way the framework asks for it (cell sizes, flags, sizes of fonts).
#include <gtest/gtest.h>

#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "tests/assets/asset_files.h"

using namespace assets_test;

TEST(PlatformLoaders, TakeThePicturesAsTheFrameworkCutsThem) {
    UseHeadlessPlatform();
    Image icons = LoadAnimImage(CommonDir() + "/icons.png", 16, 16, 0, 64, 3);
    ASSERT_TRUE(icons) << "icons.png refused as 64 cells of 16 x 16";
    EXPECT_EQ(ImageFrames(icons), 64);
    Image badges = LoadAnimImage(GameDir() + "/badges.png", 64, 64, 0, 16, 3);
    ASSERT_TRUE(badges) << "badges.png refused as 16 cells of 64 x 64";
    EXPECT_EQ(ImageFrames(badges), 16);
    for (const std::string& p : {CommonDir() + "/logo.png", CommonDir() + "/Marrowby.png", GameDir() + "/logo.png"}) {
        Image logo = LoadImage(p, 3);
        EXPECT_TRUE(logo) << p;
        EXPECT_GT(ImageWidth(logo), 0) << p;
    }
    // The pointer's tip pixel survives decoding as opaque.
    Pixmap strip = LoadPixmap(CommonDir() + "/icons.png");
    ASSERT_TRUE(strip);
    EXPECT_EQ(ReadPixel(strip, 7 * 16, 7 * 16) >> 24, 0xffu);
}

TEST(PlatformLoaders, TakeEverySoundAndFont) {
    UseHeadlessPlatform();
    EXPECT_TRUE(LoadSound(CommonDir() + "/open.ogg", 0)) << "open.ogg";
    for (const char* n : {"002", "009", "016", "017", "020", "098", "099"})
        EXPECT_TRUE(LoadSound(GameDir() + "/" + n + ".wav", 0)) << n;
    for (const char* n : {"d1-1", "d2-8", "bass1", "lead1", "accompany1"})
        EXPECT_TRUE(LoadSound(MusicDir() + "/" + n + ".wav", 0)) << n;
    // The largest and smallest sizes the framework loads each face at.
    for (const char* f : {"SVBasicManual", "November", "Blue Highway", "Acknowledge TT BRK"})
        for (int size : {8, 24, 112}) {
            Font font = LoadImageFont(CommonDir() + "/" + f + ".ttf", size, 4);
            EXPECT_TRUE(font) << f << " at " << size;
        }
}
