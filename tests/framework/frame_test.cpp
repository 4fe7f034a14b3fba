// Tests of the frame-end service on the virtual clock: pacing and the frame
// rate figure, Tab, the pause menu, slow-system frames, screenshots, Alt+F4.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "draw/draw.h"
#include "framework/frame.h"
#include "framework/game_info.h"
#include "framework/graphics.h"
#include "framework/notices.h"
#include "framework/settings_screen.h"
#include "framework/setup.h"
#include "settings/settings.h"
#include "tests/framework/support.h"

using namespace testing_support;

namespace {

// A window with a virtual area of the same size, so window pixels and
// virtual pixels coincide.
void OpenPlainWindow(int w = 320, int h = 240) {
    ASSERT_TRUE(Graphics(w, h, 0, 60, 0));
    WindowWidth = w;
    WindowHeight = h;
    ScreenWidth = w;
    ScreenHeight = h;
    SetVirtualResolution(static_cast<float>(w), static_cast<float>(h));
    LastFrameTime = MilliSecs();
}

class FrameEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        StartClean(tree_);
        OpenPlainWindow();
    }
    void TearDown() override {
        HeadlessOnFlip(nullptr);
        HeadlessOnDelay(nullptr);
    }
    ScratchTree tree_;
};

// Actions run after the given shown frame (the platform's flip count).
class FlipScript {
public:
    explicit FlipScript(std::map<int, std::function<void()>> steps) : steps_(std::move(steps)) {
        HeadlessOnFlip([this](int frame) {
            const auto it = steps_.find(frame);
            if (it != steps_.end()) it->second();
        });
    }
    ~FlipScript() { HeadlessOnFlip(nullptr); }

private:
    std::map<int, std::function<void()>> steps_;
};

}  // namespace

TEST_F(FrameEndTest, ShortFramesArePacedTo15MsAndTheFigureSettles) {
    std::vector<uint32_t> shownAt;
    HeadlessOnFlip([&](int) { shownAt.push_back(MilliSecs()); });
    for (int i = 0; i < 200; ++i) {
        HeadlessAdvance(5);  // the screen's own drawing time
        FrameEnd(60, 0, 0);
    }
    ASSERT_EQ(shownAt.size(), 200u);
    for (size_t i = 1; i < shownAt.size(); ++i) EXPECT_EQ(shownAt[i] - shownAt[i - 1], 15u) << i;
    // 1000 / 15 = 66; the integer smoothing (66 + 2 × m) / 3 rising from 0
    // stops at 64, two short of it.
    EXPECT_EQ(MeasuredFps, 64);

    // 40 ms frames: one 1 ms sleep only, and the figure comes down to 25.
    int delays = 0;
    HeadlessOnDelay([&](uint32_t) { ++delays; });
    for (int i = 0; i < 100; ++i) {
        delays = 0;
        HeadlessAdvance(39);
        FrameEnd(60, 0, 0);
        EXPECT_EQ(delays, 1);
    }
    EXPECT_EQ(MeasuredFps, 25);
    EXPECT_EQ(shownAt.back() - shownAt[shownAt.size() - 2], 40u);
}

TEST_F(FrameEndTest, PacingIgnoresTheCallersRateAndSurvivesTheClockWrap) {
    FrameEnd(250, 0, 0);
    const uint32_t before = MilliSecs();
    FrameEnd(30, 0, 0);
    EXPECT_EQ(MilliSecs() - before, 15u);
    // Just before MilliSecs() wraps at 2^32.
    const uint32_t toWrap = 0xFFFFFFF8u - MilliSecs();
    HeadlessAdvance(static_cast<int>(toWrap / 2));
    HeadlessAdvance(static_cast<int>(toWrap - toWrap / 2));
    LastFrameTime = MilliSecs();
    FrameEnd(60, 0, 0);
    EXPECT_EQ(MilliSecs(), 0xFFFFFFF8u + 15u);  // wrapped, still 15 ms later
}

TEST_F(FrameEndTest, EachTabPressSavesTheSetupFile) {
    HeadlessTap(9);
    FrameEnd(60, 0, 0);
    EXPECT_EQ(SettingsOpen, 1);
    ASSERT_TRUE(fs::exists(tree_.Files() / "Setup.ini"));
    fs::remove(tree_.Files() / "Setup.ini");
    FrameEnd(60, 0, 0);
    EXPECT_FALSE(fs::exists(tree_.Files() / "Setup.ini"));  // no press, no save
    HeadlessTap(9);
    FrameEnd(60, 0, 0);
    EXPECT_EQ(SettingsOpen, 0);
    EXPECT_TRUE(fs::exists(tree_.Files() / "Setup.ini"));
    EXPECT_EQ(fs::current_path(), tree_.Game());
}

TEST_F(FrameEndTest, F12TogglesTheOverlayAndThePointerIsSampledInVirtualPixels) {
    HeadlessTap(123);
    FrameEnd(60, 0, 0);
    EXPECT_EQ(OverlayOn, 0);
    HeadlessTap(123);
    FrameEnd(60, 0, 0);
    EXPECT_EQ(OverlayOn, 1);

    SetVirtualResolution(640, 480);  // twice the window's size
    HeadlessMouseMove(10, 20);
    FrameEnd(60, 0, 1);
    EXPECT_EQ(MouseXNow, 20);
    EXPECT_EQ(MouseYNow, 40);
    HeadlessMouseMove(11, 21);
    FrameEnd(60, 0, 1);
    EXPECT_EQ(MouseXPrev, 20);
    EXPECT_EQ(MouseYPrev, 40);
    EXPECT_EQ(MouseXNow, 22);
    EXPECT_EQ(MouseYNow, 42);
}

TEST_F(FrameEndTest, EscapeOpensThePauseMenuOnlyDuringARound) {
    PlayState = 0;
    HeadlessKey(27, true);
    const int flips = HeadlessFlipCount();
    EXPECT_EQ(FrameEnd(60, 0, 0), 0);
    EXPECT_EQ(HeadlessFlipCount(), flips + 1);
    HeadlessKey(27, false);
}

TEST_F(FrameEndTest, PauseMenuSelections) {
    struct Case {
        const char* name;
        int move;  // 0 none, 38 Up, 40 Down
        int expected;
    } cases[] = {{"Space alone", 0, 1}, {"Down then Space", 40, 99}, {"Up then Space", 38, 99}};
    for (const Case& c : cases) {
        PlayState = 1;
        // The menu's first frame sees nothing held (clearing its latch); then
        // the move key is pressed and released, then Space.
        const int base = HeadlessFlipCount();
        FlipScript script({{base + 1, [&] { if (c.move) HeadlessKey(c.move, true); }},
                           {base + 2, [&] { if (c.move) HeadlessKey(c.move, false); }},
                           {base + 3, [] { HeadlessKey(32, true); }}});
        HeadlessKey(27, true);
        HeadlessOnDelay([](uint32_t) { HeadlessKey(27, false); });
        const int result = FrameEnd(60, 0, 0);
        HeadlessOnDelay(nullptr);
        HeadlessKey(32, false);
        EXPECT_EQ(result, c.expected) << c.name;
        EXPECT_EQ(PlayState, 1) << c.name;
        // Three menu frames with Space seen in the fourth, then the round's own.
        EXPECT_EQ(HeadlessFlipCount(), base + 5) << c.name;
    }
}

TEST_F(FrameEndTest, EscapeHeldIntoTheMenuActsOnlyWhenPressedAgain) {
    PlayState = 1;
    HeadlessKey(27, true);
    const uint32_t pressedAt = MilliSecs();
    // Held for 300 ms into the menu: the menu waits without a frame.
    HeadlessOnDelay([&](uint32_t now) {
        if (now - pressedAt >= 300) HeadlessKey(27, false);
    });
    const int base = HeadlessFlipCount();
    int firstMenuFrameAt = -1;
    FlipScript script({{base + 1, [&] { firstMenuFrameAt = static_cast<int>(MilliSecs() - pressedAt); }},
                       {base + 6, [] { HeadlessKey(27, true); }}});
    const int result = FrameEnd(60, 0, 0);
    HeadlessOnDelay(nullptr);
    EXPECT_GE(firstMenuFrameAt, 300);
    EXPECT_EQ(result, 1);  // Escape with "Continue" highlighted
    // Six menu frames, the press seen after the sixth, then the round's frame.
    EXPECT_EQ(HeadlessFlipCount(), base + 7);
}

TEST_F(FrameEndTest, EscapeOnQuitReturns99) {
    PlayState = 1;
    const int base = HeadlessFlipCount();
    FlipScript script({{base + 1, [] { HeadlessKey(40, true); }},
                       {base + 2, [] { HeadlessKey(40, false); }},
                       {base + 3, [] { HeadlessKey(27, true); }}});
    HeadlessKey(27, true);
    // Every wait of the menu sees Escape let go (no menu frame waits).
    HeadlessOnDelay([](uint32_t) { HeadlessKey(27, false); });
    EXPECT_EQ(FrameEnd(60, 0, 0), 99);
    HeadlessOnDelay(nullptr);
    EXPECT_EQ(HeadlessFlipCount(), base + 4);
}

TEST_F(FrameEndTest, SlowSystemShowsEverySecondFrameAndKeepsAnF11ForTheNextShownOne) {
    Settings[7] = 1;
    SkipFrame = 0;
    const int base = HeadlessFlipCount();
    for (int i = 0; i < 10; ++i) FrameEnd(60, 0, 0);
    EXPECT_EQ(HeadlessFlipCount(), base + 5);
    ASSERT_EQ(SkipFrame, 0);

    FrameEnd(60, 0, 0);  // shown; the next one is not
    HeadlessTap(122);
    FrameEnd(60, 0, 0);
    CloseLog();
    std::vector<std::string> log = ReadLines(tree_.Files() / "Debug.txt");
    EXPECT_EQ(std::count(log.begin(), log.end(), "\tScreenshot"), 0);
    OpenLog((tree_.Files() / "Debug.txt").string());
    FrameEnd(60, 0, 0);  // the waiting hit is taken now
    CloseLog();
    log = ReadLines(tree_.Files() / "Debug.txt");
    EXPECT_EQ(std::count(log.begin(), log.end(), "\tScreenshot"), 1);

    // An Escape held only through an unshown frame of a round is missed.
    PlayState = 1;
    ASSERT_EQ(SkipFrame, 1);  // the next frame is not shown
    HeadlessKey(27, true);
    const int before = HeadlessFlipCount();
    EXPECT_EQ(FrameEnd(60, 0, 0), 0);
    HeadlessKey(27, false);
    EXPECT_EQ(FrameEnd(60, 0, 0), 0);
    EXPECT_EQ(HeadlessFlipCount(), before + 1);
}

TEST(SanitizeFileName, DropsTheTwelveCharacters) {
    EXPECT_EQ(SanitizeFileName("a#b'c,d`e.f\\g/h:i|j*k?l\"m"), "abcdefghijklm");
    EXPECT_EQ(SanitizeFileName("Flingo  (Screenshot_07 Dec 2026_23:56:19)"),
              "Flingo  (Screenshot_07 Dec 2026_235619)");
    EXPECT_EQ(SanitizeFileName("##.."), "");
    EXPECT_EQ(SanitizeFileName("keep <these> & !"), "keep <these> & !");
}

TEST_F(FrameEndTest, ScreenshotHoldsTheFrameDrawnBeforeIt) {
    const std::string name = "Flingo  (Screenshot_" + CurrentDate() + "_" +
                             Replace(CurrentTime(), ":", "") + ").png";
    SetClsColor(10, 20, 30);
    Cls();
    SetColor(250, 0, 0);
    DrawRect(40, 30, 20, 10);
    const Pixmap drawn = GrabPixmap(0, 0, WindowWidth, WindowHeight);
    HeadlessTap(122);
    FrameEnd(60, 0, 0);
    EXPECT_EQ(fs::current_path(), tree_.Game());

    const fs::path file = tree_.Files() / name;
    ASSERT_TRUE(fs::exists(file)) << name;
    const Pixmap saved = LoadPixmap(file.string());
    ASSERT_TRUE(saved);
    ASSERT_EQ(PixmapWidth(saved), WindowWidth);
    ASSERT_EQ(PixmapHeight(saved), WindowHeight);
    int mismatches = 0;
    for (int y = 0; y < WindowHeight; ++y) {
        for (int x = 0; x < WindowWidth; ++x) {
            const uint32_t p = ReadPixel(saved, x, y);
            if (p >> 24 != 0xFF) ++mismatches;
            if ((p & 0xFFFFFF) != (ReadPixel(drawn, x, y) & 0xFFFFFF)) ++mismatches;
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(ReadPixel(saved, 45, 35) & 0xFFFFFF, ReadPixel(drawn, 45, 35) & 0xFFFFFF);
    EXPECT_NE(ReadPixel(saved, 45, 35) & 0xFFFFFF, ReadPixel(saved, 5, 5) & 0xFFFFFF);

    CloseLog();
    const std::vector<std::string> expected = {
        "", "\tScreenshot", "\tGrabbing Screenshot", "\tSaving Screenshot : " + name,
        "\tSaved Screenshot 1", ""};
    EXPECT_EQ(ReadLines(tree_.Files() / "Debug.txt"), expected);
    ASSERT_EQ(AnnouncementList.size(), 1u);
    EXPECT_EQ(AnnouncementList.front().txt, "Saved Screenshot");
}

TEST_F(FrameEndTest, AFailedScreenshotIsLoggedWithZeroAndAnnouncedAsFailed) {
    const std::string name = "Flingo  (Screenshot_" + CurrentDate() + "_" +
                             Replace(CurrentTime(), ":", "") + ").png";
    fs::create_directories(tree_.Files() / name / "in the way");
    HeadlessTap(122);
    FrameEnd(60, 0, 0);
    CloseLog();
    const std::vector<std::string> log = ReadLines(tree_.Files() / "Debug.txt");
    ASSERT_GE(log.size(), 5u);
    EXPECT_EQ(log[4], "\tSaved Screenshot 0");
    ASSERT_EQ(AnnouncementList.size(), 1u);
    EXPECT_EQ(AnnouncementList.front().txt, "Screenshot failed");
    EXPECT_EQ(fs::current_path(), tree_.Game());
}

TEST_F(FrameEndTest, AltF4LeavesThroughTheClosingScreenEvenFromThePauseMenu) {
    for (int altKey : {164, 165}) {
        HeadlessKey(115, true);
        HeadlessKey(altKey, true);
        EXPECT_THROW(FrameEnd(60, 0, 0), ProgramEnded);
        HeadlessKey(115, false);
        HeadlessKey(altKey, false);
        CloseLog();
        EXPECT_EQ(ReadLines(tree_.Files() / "Debug.txt").back(), "Play again, soon!!");
        StartClean(tree_);
        OpenPlainWindow();
    }
    // From inside the pause menu.
    PlayState = 1;
    const int base = HeadlessFlipCount();
    FlipScript script({{base + 2, [] {
                            HeadlessKey(115, true);
                            HeadlessKey(165, true);
                        }}});
    HeadlessKey(27, true);
    HeadlessOnDelay([](uint32_t) { HeadlessKey(27, false); });
    EXPECT_THROW(FrameEnd(60, 0, 0), ProgramEnded);
    HeadlessOnDelay(nullptr);
    HeadlessKey(115, false);
    HeadlessKey(165, false);
    EXPECT_EQ(PlayState, 2);  // it never came back from the menu
}

TEST_F(FrameEndTest, ACloseRequestLeavesThroughTheClosingScreen) {
    HeadlessCloseRequest();
    HeadlessKey(65, true);  // held through the closing screen's waits
    EXPECT_THROW(FrameEnd(60, 0, 0), ProgramEnded);
    HeadlessKey(65, false);
    CloseLog();
    EXPECT_EQ(ReadLines(tree_.Files() / "Debug.txt").back(), "Play again, soon!!");
}
