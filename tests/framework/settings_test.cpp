// Tests of the settings panel on the headless back ends: the slide, the
// resolution row, the sliders, the audio row, joysticks, "Apply", and the
// binding buttons and key names.
#include <gtest/gtest.h>

#include <algorithm>

#include "draw/draw.h"
#include "framework/frame.h"
#include "framework/game_info.h"
#include "framework/graphics.h"
#include "framework/settings_screen.h"
#include "framework/setup.h"
#include "input/controls.h"
#include "settings/settings.h"
#include "tests/framework/support.h"

using namespace testing_support;

namespace {

constexpr int KeyTab = 9, KeyBackspace = 8, KeyLeft = 37, KeyRight = 39, KeyF11 = 122;
constexpr int Rest = 20;        // PanelOffset of the open panel
constexpr int Column = 1000;    // the right column: ScreenWidth − 280

// A 1280 × 960 window on the same virtual area: pointer pixels are virtual.
class Panel : public ::testing::Test {
protected:
    void SetUp() override {
        StartClean(tree_);
        ASSERT_TRUE(Graphics(1280, 960, 0, 60, 0));
        WindowWidth = ScreenWidth = 1280;
        WindowHeight = ScreenHeight = 960;
        SetVirtualResolution(1280, 960);
        LastFrameTime = MilliSecs();
    }
    // Virtual to window pixels (ApplyGraphics opens 800 × 600 on 1280 × 960).
    void PointAt(int x, int y) {
        HeadlessMouseMove(x * WindowWidth / ScreenWidth, y * WindowHeight / ScreenHeight);
    }
    void Frames(int n) {
        for (int i = 0; i < n; ++i) FrameEnd(60, 0, 1);
    }
    // Opens the panel and lets it come to rest, the pointer on (x, y).
    void OpenAt(int x, int y) {
        PointAt(x, y);
        HeadlessTap(KeyTab);
        Frames(10);
        ASSERT_EQ(PanelOffset, Rest);
    }
    void Click(int button = 1) {
        HeadlessMouseButton(button, true);
        HeadlessMouseButton(button, false);
        Frames(1);
    }
    ScratchTree tree_;
};

}  // namespace

TEST_F(Panel, SlidesToRestInTenFramesAndBackToExactlyMinus300) {
    std::vector<int> opening, closing;
    HeadlessTap(KeyTab);
    for (int i = 0; i < 11; ++i) {
        Frames(1);
        opening.push_back(PanelOffset);
    }
    HeadlessTap(KeyTab);
    for (int i = 0; i < 11; ++i) {
        Frames(1);
        closing.push_back(PanelOffset);
    }
    EXPECT_EQ(opening, (std::vector<int>{-268, -236, -204, -172, -140, -108, -76, -44, -12, 20, 20}));
    EXPECT_EQ(closing,
              (std::vector<int>{-12, -44, -76, -108, -140, -172, -204, -236, -268, -300, -300}));
}

TEST_F(Panel, SlidersSnapAtBothEndsAndAnOutOfRangeVolumeWaitsForThePanel) {
    Settings[11] = 200;  // as a setup file may hold it
    const int sounds = Settings[12];
    Frames(3);
    EXPECT_EQ(Settings[11], 200) << "untouched while the panel is hidden";
    OpenAt(10, 500);
    EXPECT_EQ(Settings[11], 100) << "snapped by the first drawn frame";

    // value = pointer x − column + 2 while held inside the track.
    const struct {
        int pointerX, stored;
    } drags[] = {{Column - 1, 0}, {Column + 3, 0}, {Column + 48, 50}, {Column + 93, 100},
                 {Column + 97, 100}, {Column + 2, 0}};
    for (const auto& d : drags) {
        HeadlessMouseMove(d.pointerX, 70 + Rest + 4);
        Frames(1);
        HeadlessMouseButton(1, true);
        Frames(1);
        HeadlessMouseButton(1, false);
        Frames(1);
        EXPECT_EQ(Settings[11], d.stored) << d.pointerX;
    }
    EXPECT_EQ(Settings[12], sounds) << "the other sliders were not touched";
}

TEST_F(Panel, ResolutionStepsWrapBothWays) {
    ModeCount = 4;
    const int w[5] = {0, 640, 800, 1024, 1920}, h[5] = {0, 480, 600, 768, 1080};
    std::copy(w, w + 5, ModeWidth);
    std::copy(h, h + 5, ModeHeight);
    OpenAt(100, 70 + Rest + 40);  // inside the 200 × 70 area below the row
    const struct {
        int from, key, button, to;  // key 0: a click with `button`
    } steps[] = {{4, KeyRight, 0, 1}, {0, KeyLeft, 0, 4}, {1, KeyLeft, 0, 4},
                 {2, 0, 1, 3}, {1, 0, 2, 4}, {3, 38, 0, 4}, {1, 40, 0, 4}};
    for (const auto& s : steps) {
        Settings[4] = s.from;
        if (s.key) {
            HeadlessTap(s.key);
            Frames(1);
        } else {
            Click(s.button);
        }
        EXPECT_EQ(Settings[4], s.to) << s.from << " " << s.key << " " << s.button;
        EXPECT_EQ(Settings[5], w[s.to]);
        EXPECT_EQ(Settings[6], h[s.to]);
    }
}

TEST_F(Panel, AudioRowOffersOnlyExistingBackEndsAndSavesAnUnknownOneAsTheFirst) {
    AudioDriverList = {"A", "B", "C", "D", "E", "F", "G"};
    EXPECT_EQ(AudioRowLabels().size(), 6u) << "at most six are offered";
    EXPECT_EQ(AudioRowLabels()[5], "Audio Driver|F");
    OpenAt(Column + 10, 20 + Rest + 16);
    const struct {
        int from, to;
    } clicks[] = {{5, 0}, {6, 1}, {0, 1}};
    for (const auto& c : clicks) {
        Settings[14] = c.from;
        Click();
        EXPECT_EQ(Settings[14], c.to) << c.from;
    }

    AudioDriverList = {"A", "B"};
    Settings[14] = 1;
    Click();
    EXPECT_EQ(Settings[14], 0) << "two back ends: the row wraps after two";
    Settings[14] = 5;  // past the end of the list
    const std::vector<std::string> lines = SetupFileLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "AudioDriver = A"), lines.end());
}

TEST_F(Panel, ADisabledJoystickIsIgnoredUntilItsNameIsClickedAgain) {
    HeadlessSetJoystick(0, "Pad", 4);
    SetUpJoysticks();
    KeyBindings[10] = 330;  // button 0 of port 1
    HeadlessSetJoyButton(0, 0, true);
    Frames(1);
    ASSERT_TRUE(ControlDown(10, 1));
    OpenAt(Column + 5, 230 + Rest + 7);

    Click();
    EXPECT_EQ(JoyEnabled[1], 0);
    EXPECT_FALSE(ControlDown(10, 1));
    EXPECT_EQ(ScanInput(), 0);
    Click();
    EXPECT_EQ(JoyEnabled[1], 1);
    EXPECT_TRUE(ControlDown(10, 1));
    HeadlessSetJoyButton(0, 0, false);
}

TEST_F(Panel, ApplySavesClosesAndAppliesTheGraphicsAgain) {
    // The benchmark's sprite, so that the default frame-cost model ends it
    // after its fourth step.
    fs::copy_file(fs::path(FLINGO_BUILD_DIR) / "Files/Common/icons.png",
                  tree_.Files() / "Common/icons.png");
    ApplyGraphics();
    ASSERT_EQ(WindowWidth, 800);
    LastFrameTime = MilliSecs();
    OpenAt(30, 30 + Rest + 16);
    Click();  // the window row: full screen
    ASSERT_EQ(Settings[1], 1);
    PointAt(22, 258 + Rest + 5);
    Frames(1);
    Click();
    EXPECT_EQ(SettingsOpen, 0);
    CloseLog();
    const std::vector<std::string> log = ReadLines(tree_.Files() / "Debug.txt");
    EXPECT_EQ(std::count(log.begin(), log.end(), "Starting Engine Test"), 2);
    EXPECT_EQ(std::count(log.begin(), log.end(), "\tChanged Graphics Mode ingame."), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "\tResolution : 800x600,32"), 1);
    EXPECT_EQ(ReadLines(tree_.Files() / "Setup.ini").at(1), "Fullscreen = True");
    EXPECT_EQ(fs::current_path(), tree_.Game());
}

TEST_F(Panel, BindingButtonsTakeTheHeldInputOnlyWhenThePanelIsInPlace) {
    MouseMode = 0;
    ControlCount = 4;
    KeyBindings[0] = 38;
    const int upX = 250 + 50 + 10, upY = 10 + Rest + 10;  // player 1's "up" button
    HeadlessMouseMove(upX, upY);
    HeadlessTap(KeyTab);
    Frames(1);
    HeadlessKey(87, true);  // W, while the panel is still sliding
    Frames(1);
    EXPECT_EQ(KeyBindings[0], 38);
    Frames(8);
    ASSERT_EQ(PanelOffset, Rest);
    EXPECT_EQ(KeyBindings[0], 87);
    HeadlessKey(87, false);

    const struct {
        int key, bound;  // key held while pointing; bound afterwards
    } holds[] = {{KeyF11, 87}, {KeyBackspace, 0}, {KeyRight, KeyRight}};
    for (const auto& h : holds) {
        HeadlessKey(h.key, true);
        Frames(1);
        HeadlessKey(h.key, false);
        Frames(1);
        EXPECT_EQ(KeyBindings[0], h.bound) << h.key;
    }
    HeadlessMouseButton(1, true);  // a mouse button is never taken
    Frames(1);
    HeadlessMouseButton(1, false);
    EXPECT_EQ(KeyBindings[0], KeyRight);
}

TEST(BindingName, KeysByTableAndEverythingElseBySubCode) {
    const struct {
        int code;
        const char* name;
    } cases[] = {{301, "Y+"}, {333, "3"}, {113, "F2"}, {13, "Return"}, {124, "-6"},
                 {123, "F12"}, {48, "0"}, {105, "9"}, {65, "A"}, {90, "Z"},
                 {226, "\\"}, {220, "\\"}, {189, "-"}, {109, "-"}, {160, "LShift"},
                 {320, "Up"}, {325, "Right"}, {328, "Down"}, {323, "Left"}, {453, "X+"},
                 {1, "Left Mousebutton"}, {175, "Volume Up"}, {0, "Y-"}, {255, "Z+"}};
    for (const auto& c : cases) EXPECT_EQ(BindingName(c.code), c.name) << c.code;
}
