// Tests of the frame-end service on the virtual clock: pacing and the frame
// rate figure, Tab, the pause menu, slow-system frames, screenshots.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "framework/frame.h"
#include "tests/framework/support.h"

namespace {

class FrameEndTest : public ::testing::Test {
protected:
    // A 320 × 240 window whose virtual area has the same size.
    void SetUp() override {
        StartClean(tree_);
        ASSERT_TRUE(Graphics(320, 240, 0, 60, 0));
        WindowWidth = ScreenWidth = 320;
        WindowHeight = ScreenHeight = 240;
        SetVirtualResolution(320, 240);
        LastFrameTime = MilliSecs();
    }
    void TearDown() override {
        HeadlessOnFlip(nullptr);
        HeadlessOnDelay(nullptr);
    }
    // Actions run right after the given shown frame (the platform's count).
    void Script(std::map<int, std::function<void()>> steps) {
        steps_ = std::move(steps);
        HeadlessOnFlip([this](int frame) {
            if (steps_.count(frame)) steps_[frame]();
        });
    }
    int CountInLog(const std::string& line) {
        const std::vector<std::string> log = LogOf(tree_);
        OpenLog((tree_.Files() / "Debug.txt").string());
        return static_cast<int>(std::count(log.begin(), log.end(), line));
    }
    std::string ShotName() {
        return "Flingo  (Screenshot_" + CurrentDate() + "_" + Replace(CurrentTime(), ":", "") + ").png";
    }
    ScratchTree tree_;
    std::map<int, std::function<void()>> steps_;
};

}  // namespace

TEST_F(FrameEndTest, FramesArePacedTo15MsAndTheFigureSettles) {
    std::vector<uint32_t> shownAt;
    HeadlessOnFlip([&](int) { shownAt.push_back(MilliSecs()); });
    for (int i = 0; i < 200; ++i) {
        HeadlessAdvance(5);  // the screen's own drawing
        FrameEnd(i % 2 ? 30 : 250, 0, 0);  // the caller's rate changes nothing
    }
    for (size_t i = 1; i < shownAt.size(); ++i) ASSERT_EQ(shownAt[i] - shownAt[i - 1], 15u) << i;
    // 1000 / 15 = 66, but (66 + 2 × m) / 3 in integers, rising from 0, stops at 64.
    EXPECT_EQ(MeasuredFps, 64);
    int delays = 0;
    HeadlessOnDelay([&](uint32_t) { ++delays; });
    for (int i = 0; i < 100; ++i) {
        HeadlessAdvance(39);
        FrameEnd(60, 0, 0);
    }
    EXPECT_EQ(delays, 100);  // one 1 ms sleep a frame, nothing more
    EXPECT_EQ(MeasuredFps, 25);
}

TEST_F(FrameEndTest, EachTabPressSavesTheSetupFile) {
    for (int press = 1; press <= 2; ++press) {
        fs::remove(tree_.Files() / "Setup.ini");
        FrameEnd(60, 0, 0);
        EXPECT_FALSE(fs::exists(tree_.Files() / "Setup.ini"));
        HeadlessTap(9);
        FrameEnd(60, 0, 0);
        EXPECT_TRUE(fs::exists(tree_.Files() / "Setup.ini"));
        EXPECT_EQ(SettingsOpen, press % 2);
    }
    EXPECT_EQ(fs::current_path(), tree_.Game());
}

TEST_F(FrameEndTest, PauseMenuSelectionsAndOnlyDuringARound) {
    HeadlessKey(27, true);
    EXPECT_EQ(FrameEnd(60, 0, 0), 0);  // PlayState 0: no menu, one frame
    EXPECT_EQ(HeadlessFlipCount(), 1);
    // Every wait of the menu sees the opening Escape let go.
    HeadlessOnDelay([](uint32_t) { HeadlessKey(27, false); });
    const struct {
        int move, fire, expected;
    } cases[] = {{0, 32, 1}, {40, 32, 99}, {38, 32, 99}, {40, 27, 99}, {0, 27, 1}};
    for (const auto& c : cases) {
        PlayState = 1;
        // The menu's first frame sees nothing held; then the move key goes
        // down and up, then the choice key.
        const int base = HeadlessFlipCount();
        Script({{base + 1, [&] { if (c.move) HeadlessKey(c.move, true); }},
                {base + 2, [&] { if (c.move) HeadlessKey(c.move, false); }},
                {base + 3, [&] { HeadlessKey(c.fire, true); }}});
        HeadlessKey(27, true);
        EXPECT_EQ(FrameEnd(60, 0, 0), c.expected) << c.move << "/" << c.fire;
        HeadlessKey(c.fire, false);
        EXPECT_EQ(PlayState, 1);
        EXPECT_EQ(HeadlessFlipCount(), base + 4 + (c.fire == 32)) << c.move << "/" << c.fire;
    }
}

TEST_F(FrameEndTest, EscapeHeldIntoTheMenuActsOnlyWhenPressedAgain) {
    PlayState = 1;
    HeadlessKey(27, true);
    const uint32_t pressedAt = MilliSecs();
    HeadlessOnDelay([&](uint32_t now) {
        if (now - pressedAt >= 300) HeadlessKey(27, false);
    });
    uint32_t firstMenuFrame = 0;
    Script({{1, [&] { firstMenuFrame = MilliSecs() - pressedAt; }}, {6, [] { HeadlessKey(27, true); }}});
    EXPECT_EQ(FrameEnd(60, 0, 0), 1);
    EXPECT_GE(firstMenuFrame, 300u);     // no menu frame while it was held
    EXPECT_EQ(HeadlessFlipCount(), 7);  // six menu frames and the round's
}

TEST_F(FrameEndTest, SlowSystemShowsEverySecondFrameAndKeepsAnF11ForTheNextShownOne) {
    Settings[7] = 1;
    for (int i = 0; i < 10; ++i) FrameEnd(60, 0, 0);
    EXPECT_EQ(HeadlessFlipCount(), 5);
    FrameEnd(60, 0, 0);
    HeadlessTap(122);
    FrameEnd(60, 0, 0);  // not shown: F11 waits
    EXPECT_EQ(CountInLog("\tScreenshot"), 0);
    FrameEnd(60, 0, 0);
    EXPECT_EQ(CountInLog("\tScreenshot"), 1);
    // An Escape held only through an unshown frame of a round is missed.
    PlayState = 1;
    HeadlessKey(27, true);
    EXPECT_EQ(FrameEnd(60, 0, 0), 0);
    HeadlessKey(27, false);
    EXPECT_EQ(FrameEnd(60, 0, 0), 0);
    EXPECT_EQ(HeadlessFlipCount(), 9);  // the screenshot shows its own "Saving" frame
}

TEST_F(FrameEndTest, ScreenshotHoldsTheFrameDrawnBeforeIt) {
    const std::string name = ShotName();
    SetClsColor(10, 20, 30);
    Cls();
    SetColor(250, 0, 0);
    SetAlpha(0.5f);
    DrawRect(40, 30, 20, 10);
    const Pixmap drawn = GrabPixmap(0, 0, 320, 240);
    HeadlessTap(122);
    FrameEnd(60, 0, 0);
    const Pixmap saved = LoadPixmap((tree_.Files() / name).string());
    ASSERT_TRUE(saved) << name;
    ASSERT_EQ(PixmapWidth(saved) * 1000 + PixmapHeight(saved), 320240);
    int wrong = 0;
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            const uint32_t p = ReadPixel(saved, x, y);
            wrong += p >> 24 != 0xFF || (p & 0xFFFFFF) != (ReadPixel(drawn, x, y) & 0xFFFFFF);
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_NE(ReadPixel(saved, 45, 35), ReadPixel(saved, 5, 5));
    EXPECT_EQ(LogOf(tree_), std::vector<std::string>({"", "\tScreenshot", "\tGrabbing Screenshot",
                                                      "\tSaving Screenshot : " + name,
                                                      "\tSaved Screenshot 1", ""}));
    EXPECT_EQ(AnnouncementList.front().txt, "Saved Screenshot");
    EXPECT_EQ(fs::current_path(), tree_.Game());
    // One that cannot be saved says so.
    StartClean(tree_);
    fs::remove(tree_.Files() / ShotName());
    fs::create_directories(tree_.Files() / ShotName() / "in the way");
    HeadlessTap(122);
    FrameEnd(60, 0, 0);
    EXPECT_EQ(LogOf(tree_).at(4), "\tSaved Screenshot 0");
    EXPECT_EQ(AnnouncementList.front().txt, "Screenshot failed");
}
