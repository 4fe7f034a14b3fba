// Tests of the title screen's latches and choices, frame by frame on the
// headless back ends, with the round replaced by a stand-in.
#include <gtest/gtest.h>

#include "app/title.h"
#include "draw/draw.h"
#include "framework/game_info.h"
#include "framework/graphics.h"
#include "framework/settings_screen.h"
#include "framework/sound.h"
#include "input/controls.h"
#include "scores/board.h"
#include "tests/scores/support.h"

using namespace gametest;

namespace {

// The start box's centre once the screen has slid in (an 800-pixel window:
// the panel is 415 wide).
constexpr int StartX = (1280 - 415) / 2, StartY = 960 / 2;
// The "Hard" label's box: top-left at ((W − B)/2 − 100, H/2 + 300), 200 × 40.
constexpr int HardX = StartX - 100 + 20, HardY = StartY + 300 + 20;
constexpr int Key3 = 51, KeyF1 = 112, KeyUp = 38, KeyDown_ = 40, KeyEsc = 27;

class Title : public ::testing::Test {
protected:
    void SetUp() override {
        StartWithWindow(tree_);
        SfxTable[98] = LoadSound("098.wav");  // the menu click, from the asset tree
        ASSERT_TRUE(SfxTable[98]) << "the build's asset tree has the menu click";
        CurGameMode = 1;
        SetTitleRoundHook([this] {
            ++rounds_;
            playStateInRound_ = PlayState;
            if (duringRound_) duringRound_();
        });
    }
    void TearDown() override { SetTitleRoundHook(nullptr); }

    // Runs n title frames; true when the loop asked to end.
    bool Frames(int n) {
        bool quit = false;
        for (int i = 0; i < n && !quit; ++i) quit = TitleFrame(st_);
        return quit;
    }
    // Slides the screen in with the pointer resting on (x, y).
    void SlideInAt(int x, int y) {
        PointAt(x, y);
        Frames(34);
        ASSERT_EQ(st_.slide, 32);
    }
    int Clicks() const { return SfxCursor; }  // advances once per sound played

    Scratch tree_{true};
    TitleState st_;
    int rounds_ = 0;
    int playStateInRound_ = -1;
    std::function<void()> duringRound_;
};

}  // namespace

TEST_F(Title, ClickingStartBeginsTheRoundOneFrameAfterThePress) {
    SlideInAt(StartX, StartY);
    HeadlessMouseButton(1, true);
    Frames(1);
    EXPECT_EQ(rounds_, 0) << "start held is the previous frame's button";
    const int before = Clicks();
    Frames(1);
    EXPECT_EQ(rounds_, 1);
    EXPECT_EQ(playStateInRound_, 1);
    EXPECT_EQ(PlayState, 0);
    EXPECT_EQ(Clicks(), before + 1);
    EXPECT_LE(st_.slide, 1) << "the screen slides in again";
    HeadlessMouseButton(1, false);
}

TEST_F(Title, AButtonHeldFromTheRoundDoesNotStartTheNext) {
    SlideInAt(StartX, StartY);
    GraphScroll = 400;
    BoardSelection = 1003;
    duringRound_ = [] { HeadlessMouseButton(1, true); };
    HeadlessMouseButton(1, true);
    Frames(2);
    ASSERT_EQ(rounds_, 1);
    EXPECT_EQ(GraphScroll, 0);
    EXPECT_EQ(BoardSelection, 0);
    duringRound_ = nullptr;
    Frames(60);  // slid in again, button still held on the box
    EXPECT_EQ(rounds_, 1);
    HeadlessMouseButton(1, false);
    Frames(1);
    HeadlessMouseButton(1, true);
    Frames(2);
    EXPECT_EQ(rounds_, 2);
    HeadlessMouseButton(1, false);
}

TEST_F(Title, EscapeHeldWhenTheRoundEndsDoesNotQuit) {
    SlideInAt(StartX, StartY);
    duringRound_ = [] { HeadlessKey(KeyEsc, true); };
    HeadlessMouseButton(1, true);
    Frames(1);
    HeadlessMouseButton(1, false);
    EXPECT_FALSE(Frames(1));
    ASSERT_EQ(rounds_, 1);
    EXPECT_FALSE(Frames(20)) << "Escape must be released first";
    HeadlessKey(KeyEsc, false);
    EXPECT_FALSE(Frames(1));
    HeadlessKey(KeyEsc, true);
    EXPECT_TRUE(Frames(1));
    HeadlessKey(KeyEsc, false);
}

TEST_F(Title, EscapeOnAFreshTitleQuits) {
    SlideInAt(10, 10);
    HeadlessKey(KeyEsc, true);
    EXPECT_TRUE(Frames(1));
    EXPECT_EQ(rounds_, 0);
    HeadlessKey(KeyEsc, false);
}

TEST_F(Title, AHeldTabKeyChoosesOnceAndClicksOnce) {
    SlideInAt(10, 10);
    const int before = Clicks();
    HeadlessKey(Key3, true);
    Frames(15);
    EXPECT_EQ(st_.tab, 2);
    EXPECT_EQ(Clicks(), before + 1);
    EXPECT_FLOAT_EQ(BackdropTarget[1], 0.2f) << "the About page's backdrop";
    HeadlessKey(Key3, false);
    Frames(1);
    HeadlessKey(KeyF1, true);
    Frames(5);
    EXPECT_EQ(st_.tab, 0);
    EXPECT_EQ(Clicks(), before + 2);
    HeadlessKey(KeyF1, false);
    // The Online tab cannot be chosen in this game.
    HeadlessKey(50, true);
    Frames(3);
    EXPECT_EQ(st_.tab, 0);
    EXPECT_EQ(Clicks(), before + 2);
    HeadlessKey(50, false);
}

TEST_F(Title, DifficultyByMouseAndByKeysOneStepPerPress) {
    SlideInAt(HardX, HardY);
    int clicks = Clicks();
    HeadlessMouseButton(1, true);
    Frames(10);
    EXPECT_EQ(CurGameMode, 2);
    EXPECT_EQ(Clicks(), clicks + 1);
    EXPECT_EQ(rounds_, 0);
    HeadlessMouseButton(1, false);
    PointAt(10, 10);
    Frames(1);

    clicks = Clicks();
    HeadlessKey(KeyUp, true);
    Frames(12);
    EXPECT_EQ(CurGameMode, 1) << "held Up steps once";
    HeadlessKey(KeyUp, false);
    Frames(1);
    HeadlessKey(KeyUp, true);
    Frames(3);
    HeadlessKey(KeyUp, false);
    Frames(1);
    EXPECT_EQ(CurGameMode, 0);
    HeadlessKey(KeyUp, true);
    Frames(3);
    HeadlessKey(KeyUp, false);
    Frames(1);
    EXPECT_EQ(CurGameMode, 2) << "up from Easy wraps to Hard";
    HeadlessKey(KeyDown_, true);
    Frames(3);
    HeadlessKey(KeyDown_, false);
    Frames(1);
    EXPECT_EQ(CurGameMode, 0) << "down from Hard wraps to Easy";
    EXPECT_EQ(Clicks(), clicks + 4);
}

TEST_F(Title, NothingReactsWhileTheSettingsPanelIsOpen) {
    SlideInAt(StartX, StartY);
    HeadlessTap(9);  // Tab opens the panel
    Frames(10);
    ASSERT_EQ(SettingsOpen, 1);
    const int clicks = Clicks();

    HeadlessMouseButton(1, true);
    Frames(5);
    HeadlessMouseButton(1, false);
    Frames(1);
    PointAt(HardX, HardY);
    Frames(1);
    HeadlessMouseButton(1, true);
    Frames(3);
    HeadlessMouseButton(1, false);
    HeadlessKey(Key3, true);
    Frames(3);
    HeadlessKey(Key3, false);
    HeadlessKey(KeyUp, true);
    Frames(3);
    HeadlessKey(KeyUp, false);
    Frames(1);

    EXPECT_EQ(rounds_, 0);
    EXPECT_EQ(CurGameMode, 1);
    EXPECT_EQ(st_.tab, 0);
    EXPECT_EQ(Clicks(), clicks);

    // Closing: the panel's position, not SettingsOpen, decides; while it
    // slides out the screen stays deaf, once it is out the same click works.
    HeadlessTap(9);
    Frames(1);
    ASSERT_EQ(SettingsOpen, 0);
    ASSERT_GE(PanelOffset, -250);
    HeadlessMouseButton(1, true);
    Frames(2);
    HeadlessMouseButton(1, false);
    EXPECT_EQ(CurGameMode, 1);
    Frames(10);
    ASSERT_LT(PanelOffset, -250);
    HeadlessMouseButton(1, true);
    Frames(2);
    HeadlessMouseButton(1, false);
    EXPECT_EQ(CurGameMode, 2);
}

TEST(TitlePrompt, KeyPlayNamesTheStartInputAsTheBindingButtonsDo) {
    const int saved = KeyBindings[10];
    const struct {
        int code;
        const char* text;
    } cases[] = {{90, "Press Start (Z) To Begin"},     {38, "Press Start (Up) To Begin"},
                 {330, "Press Start (0) To Begin"},    {301, "Press Start (Y+) To Begin"},
                 {0, "Press Start (?!) To Begin"}};
    for (const auto& c : cases) {
        KeyBindings[10] = c.code;
        EXPECT_EQ(StartPromptText(), c.text) << c.code;
    }
    KeyBindings[10] = saved;
}
