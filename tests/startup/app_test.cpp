// Tests of the shared services of the application shell: the globals'
// start values, the sound-effect player and the font selector.
#include <gtest/gtest.h>

#include <climits>

#include "app/app.h"
#include "draw/draw.h"
#include "framework/folders.h"
#include "framework/frame.h"
#include "framework/game_info.h"
#include "framework/graphics.h"
#include "framework/sound.h"
#include "game/effects.h"
#include "input/controls.h"
#include "music/music.h"
#include "settings/settings.h"
#include "tests/framework/support.h"

using namespace testing_support;

namespace {

// A sound long enough to be still playing through a test: 10 s of a square
// wave, mono 16-bit 44100 Hz.
std::string LongWav() {
    auto u32 = [](uint32_t v) {
        return std::string{char(v & 255), char(v >> 8 & 255), char(v >> 16 & 255), char(v >> 24)};
    };
    auto u16 = [](uint16_t v) { return std::string{char(v & 255), char(v >> 8)}; };
    std::string data;
    for (int i = 0; i < 441000; ++i) data += u16(i / 50 % 2 ? 8000 : static_cast<uint16_t>(-8000));
    return "RIFF" + u32(36 + data.size()) + "WAVEfmt " + u32(16) + u16(1) + u16(1) +
           u32(44100) + u32(88200) + u16(2) + u16(16) + "data" + u32(data.size()) + data;
}

}  // namespace

TEST(Globals, StartValuesAreRestoredByInitGlobals) {
    InitGlobals();
    Settings[5] = 1;
    KeyBindings[0] = 0;
    DrawLimit[1] = 3;
    SfxCursor = 99;
    OverlayOn = 0;
    ParticleList.push_back(Particle());
    InitGlobals();
    EXPECT_EQ(Settings[5], 800);
    EXPECT_EQ(Settings[6], 600);
    EXPECT_EQ(Settings[11] + Settings[12] + Settings[13], 150);
    EXPECT_EQ(Settings[14], 0);
    const int bound[] = {0, 3, 5, 8, 10, 11, 12, 13};
    const int keys[] = {38, 37, 39, 40, 90, 88, 67, 86};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(KeyBindings[bound[i]], keys[i]);
    EXPECT_EQ(KeyBindings[1], 0);
    EXPECT_EQ(DrawLimit[1], 50000);
    EXPECT_EQ(DrawLimit[2], 50000);
    EXPECT_EQ(DrawLimit[3], 0);
    EXPECT_EQ(SfxCursor, 20);
    EXPECT_EQ(OverlayOn, 1);
    EXPECT_TRUE(ParticleList.empty());
    EXPECT_EQ(BackdropColor[0], 0.2f);
    EXPECT_EQ(BackdropTarget[2], 1.0f);
    EXPECT_EQ(WindowTitle, "#283 : Flingo ");
    EXPECT_EQ(GameFolder(), "283/");
}

class PlaySfxTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseHeadlessPlatform();
        InitGlobals();
        WriteText(tree_.Game() / "001.wav", LongWav());
        SfxTable[1] = LoadSound((tree_.Game() / "001.wav").string());
        ASSERT_TRUE(SfxTable[1]);
    }
    ScratchTree tree_;
};

TEST_F(PlaySfxTest, SilentOrMissingEffectsDoNotTurnTheChannels) {
    Settings[12] = 0;
    PlaySfx(1, 1, 1, 0);
    EXPECT_EQ(SfxCursor, 20);
    Settings[12] = 50;
    PlaySfx(2, 1, 1, 0);  // not loaded
    PlaySfx(0, 1, 1, 0);
    PlaySfx(201, 1, 1, 0);
    EXPECT_EQ(SfxCursor, 20);
    PlaySfx(1, 1, 1, 0);
    EXPECT_EQ(SfxCursor, 21);
    EXPECT_TRUE(ChannelPlaying(SfxChannels[21]));
}

TEST_F(PlaySfxTest, The237thEffectCutsOffTheFirst) {
    PlaySfx(1);
    const Channel first = SfxChannels[21];
    ASSERT_TRUE(ChannelPlaying(first));
    for (int i = 2; i <= 235; ++i) PlaySfx(1);
    EXPECT_EQ(SfxCursor, 255);
    EXPECT_TRUE(ChannelPlaying(first));
    PlaySfx(1);  // 236th: wraps to slot 20, which was never used
    EXPECT_EQ(SfxCursor, 20);
    EXPECT_TRUE(ChannelPlaying(first));
    PlaySfx(1);  // 237th: slot 21 again
    EXPECT_EQ(SfxCursor, 21);
    EXPECT_FALSE(ChannelPlaying(first));
    EXPECT_TRUE(ChannelPlaying(SfxChannels[21]));
}

TEST_F(PlaySfxTest, VolumeIsMasterTimesSoundTimesTheCallersShare) {
    auto loudest = [](int frames) {
        int peak = 0;
        for (int16_t s : HeadlessMix(frames)) peak = std::max(peak, std::abs(static_cast<int>(s)));
        return peak;
    };
    Settings[11] = 100;
    Settings[12] = 100;
    PlaySfx(1, 1, 1, 0);
    const int full = loudest(2000);
    ASSERT_GT(full, 0);
    StopChannel(SfxChannels[SfxCursor]);
    Settings[11] = 50;
    Settings[12] = 50;
    PlaySfx(1, 1, 2, 0);  // a share above 1 counts as 1: 0.25 of full
    const int quarter = loudest(2000);
    EXPECT_NEAR(quarter, full / 4, full / 50 + 1);
    StopChannel(SfxChannels[SfxCursor]);
    PlaySfx(1, 1, -3, 0);  // below 0: silent
    EXPECT_EQ(loudest(2000), 0);
}

TEST_F(PlaySfxTest, VolumesFarAboveAHundredPlayAtFullVolume) {
    // A damaged "Setup.ini": the product of the two overflows 32 bits.
    const int volumes[][2] = {{65536, 65536}, {99999, 99999}, {INT_MAX, INT_MAX}};
    Settings[11] = 100;
    Settings[12] = 100;
    PlaySfx(1, 1, 1, 0);
    const std::vector<int16_t> full = HeadlessMix(2000);
    StopChannel(SfxChannels[SfxCursor]);
    for (const auto& v : volumes) {
        Settings[11] = v[0];
        Settings[12] = v[1];
        PlaySfx(1, 1, 1, 0);
        EXPECT_EQ(HeadlessMix(2000), full) << v[0] << " x " << v[1];
        StopChannel(SfxChannels[SfxCursor]);
    }
}

TEST(SetFont, SelectsFromTheSizeTableWithOutOfRangeArgumentsFolded) {
    ScratchTree tree(true);
    StartClean(tree);
    WindowWidth = 800;
    ChooseFontScale();
    fs::current_path(tree.Files() / "Common");
    for (int family = 1; family <= 3; ++family) {
        for (int slot = 0; slot <= 8; ++slot) {
            FontBySize[(family - 1) * 10 + slot] =
                LoadImageFont(FamilyFontFile(family), SlotFontSize(slot), 4);
            ASSERT_TRUE(FontBySize[(family - 1) * 10 + slot]) << family << "/" << slot;
        }
    }
    SetFont(2, 5);
    EXPECT_EQ(GetImageFont(), FontBySize[15]);
    SetFont(0, 3);  // family outside 1..3 counts as 1
    EXPECT_EQ(GetImageFont(), FontBySize[3]);
    SetFont(3, 9);  // slot outside 0..8 counts as 0
    EXPECT_EQ(GetImageFont(), FontBySize[20]);
    SetFont(4, -1);
    EXPECT_EQ(GetImageFont(), FontBySize[0]);
}
