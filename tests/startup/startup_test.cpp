// Whole-game tests: the real start-up on the headless back ends with the
// generated asset tree, driven by scripted input on the virtual clock, read
// back through "Debug.txt", "Setup.ini" and the globals.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sched.h>

#include <algorithm>
#include <regex>

#include "app/app.h"
#include "draw/draw.h"
#include "framework/game_info.h"
#include "framework/graphics.h"
#include "framework/notices.h"
#include "framework/setup.h"
#include "scores/scores.h"
#include "settings/settings.h"
#include "tests/framework/support.h"

using namespace testing_support;

namespace {

struct RunRecord {
    bool ended = false;
    int exitCode = -1;
    int homeFrames = 0;            // frames shown after loading
    uint32_t firstHomeFrameAt = 0;  // MilliSecs() at the first of them
    int mouseMode = -1, curGameMode = -1, playState = -1;
};

// Runs Main() from the tree's root (or programFolder) until the home loop has shown `frames`
// frames, then asks the window to close while a key is held, which the
// closing screen waits out and then takes as its press.
// With bySignal the session ends it instead (SIGTERM), with no key held. A
// run still waiting a virtual minute after that is given up (not ended).
struct StuckWaiting {};
RunRecord RunGame(const ScratchTree& tree, int frames = 5, HeadlessConfig config = {},
                  bool bySignal = false, const fs::path& programFolder = {}) {
    RunRecord run;
    fs::current_path(programFolder.empty() ? tree.Root() : programFolder);
    UseHeadlessPlatform(config);
    uint32_t askedAt = 0;
    HeadlessOnDelay([&](uint32_t now) {
        if (askedAt != 0 && now - askedAt > 60000) throw StuckWaiting{};
    });
    HeadlessOnFlip([&](int) {
        if (MouseMode != 1) return;  // still loading
        if (run.homeFrames++ == 0) {
            run.firstHomeFrameAt = MilliSecs();
            run.mouseMode = MouseMode;
            run.curGameMode = CurGameMode;
            run.playState = PlayState;
        }
        if (run.homeFrames == frames) {
            askedAt = MilliSecs();
            if (bySignal) {
                HeadlessTerminationSignal();
                return;
            }
            HeadlessCloseRequest();
            HeadlessKey(65, true);
        }
    });
    try {
        Main();
    } catch (const ProgramEnded& end) {
        run.ended = true;
        run.exitCode = end.code;
    } catch (const StuckWaiting&) {
    }
    HeadlessOnFlip(nullptr);
    HeadlessOnDelay(nullptr);
    HeadlessKey(65, false);
    CloseLog();
    fs::current_path(tree.Root());
    return run;
}

HeadlessConfig WithOpenGL() {
    HeadlessConfig config;
    config.openGLAvailable = true;  // no renderer fallback, so no platform notes
    return config;
}

// The sound-effect lines for whatever numbered files the asset tree holds.
std::vector<std::string> EffectLines(const ScratchTree& tree) {
    std::vector<std::string> lines;
    for (int n = 1; n <= 200; ++n) {
        char name[16];
        std::snprintf(name, sizeof name, "%03d.wav", n);
        if (fs::exists(tree.Game() / name)) lines.push_back("\tSFX(" + std::to_string(n) + ")");
    }
    return lines;
}

// The engine benchmark's lines for a run that aimed at `target` and settled
// on `mainSprites` (the headless default model holds 1500 sprites, not 2000).
std::vector<std::string> EngineTestLines(int target, int mainSprites) {
    const std::string t = std::to_string(target);
    std::vector<std::string> lines = {"Starting Engine Test", "Aiming for " + t + ",2",
                                      "Test Complete", "", "Engine Test Results", "",
                                      "\tMaximum Sprites Allowed for " + t + " Frames Per Second",
                                      "\tMain sprites : " + std::to_string(mainSprites),
                                      "\tGlowy Sprites : 500", "\tParticles : 500", ""};
    if (target == 30) lines.push_back("Settings Overwritten, Set to Default Lower Limits at 30fps.");
    lines.push_back("");
    return lines;
}

std::vector<std::string> ExpectedLog(const ScratchTree& tree,
                                     const std::vector<std::string>& setupLines,
                                     const std::string& rendererLine,
                                     const std::string& resolutionLine) {
    const std::string dashes(28, '-');
    const std::string rule = "-=-=-=-=-=-=-=-=-=-=-=-=-=-";
    std::vector<std::string> log = {"Orvendel's Weekforge Engine", dashes, "Week #283", dashes,
                                    "#283 : Flingo ", dashes, "", "Loading"};
    log.insert(log.end(), setupLines.begin(), setupLines.end());
    const std::vector<std::string> middle = {
        "Setting Audio Driver", "Set Audio Driver", "", "\tRequested Resolution : 800x600",
        "\tSetup Loaded", "", "Grabbing Previous Scores", "", "", rule,
        "Applying Graphical Settings", rendererLine, resolutionLine, "",
        "Loading : Common Objects", "", "Switching to Default Folder", "", "\tDefault Fonts",
        "\tDefault Icons", "\tLogos", "\tBadgeGet", "", "Switching to Game Folder", "",
        "Loading Sound effects"};
    log.insert(log.end(), middle.begin(), middle.end());
    const std::vector<std::string> effects = EffectLines(tree);
    log.insert(log.end(), effects.begin(), effects.end());
    log.insert(log.end(), {"Sounds loaded", ""});
    const std::vector<std::string> engine = EngineTestLines(60, 1350);
    log.insert(log.end(), engine.begin(), engine.end());
    const std::vector<std::string> tail = {rule, "Finished Loading", "Closing Up", "", "Bye!", "",
                                           "Play again, soon!!"};
    log.insert(log.end(), tail.begin(), tail.end());
    return log;
}

}  // namespace

TEST(StartUp, RunsToTheHomeLoopAndLogsTheCatalogueWithoutASetupFile) {
    ScratchTree tree(true);
    ASSERT_FALSE(EffectLines(tree).empty()) << "the asset tree holds the sound effects";
    const RunRecord run = RunGame(tree, 5, WithOpenGL());
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_GE(run.homeFrames, 5);
    EXPECT_EQ(run.mouseMode, 1);
    EXPECT_EQ(run.curGameMode, 1);
    EXPECT_EQ(run.playState, 0);
    EXPECT_EQ(ControlCount, 4);
    EXPECT_EQ(BadgeCount, 16);
    EXPECT_EQ(ReadLines(tree.Files() / "Debug.txt"),
              ExpectedLog(tree, {}, "\tUsing OpenGL Driver", "\tResolution : 800x600,0"));
    // The closing screen wrote the settings back; the marker is gone.
    EXPECT_TRUE(fs::exists(tree.Files() / "Setup.ini"));
    EXPECT_FALSE(fs::exists(tree.Game() / "crash.dat"));
    EXPECT_EQ(WindowTitle, "#283 : Flingo ");
}

TEST(StartUp, FullScreenAndDirectX9FromTheSetupFile) {
    ScratchTree tree(true);
    WriteText(tree.Files() / "Setup.ini",
              "[Graphics]\r\nFullscreen = True\r\nGFX Engine = DX9\r\nWidth=800\r\nHeight=600\r\n");
    const RunRecord run = RunGame(tree, 3, WithOpenGL());
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(ReadLines(tree.Files() / "Debug.txt"),
              ExpectedLog(tree,
                          {"\tReading Setup File", "\tSetting to Fullscreen", "\tDirectX 9 Mode"},
                          "\tUsing DirectX 9 Driver", "\tResolution : 800x600,32"));
    const std::vector<std::string> setup = ReadLines(tree.Files() / "Setup.ini");
    ASSERT_GE(setup.size(), 3u);
    EXPECT_EQ(setup[1], "Fullscreen = True");
    EXPECT_EQ(setup[2], "GFX Engine = DX9");
}

TEST(StartUp, ALeftoverCrashMarkerSwitchesOpenGLToDirectX9) {
    ScratchTree tree(true);
    WriteText(tree.Files() / "Setup.ini", "GFX Engine = OpenGL\r\n");
    WriteText(tree.Game() / "crash.dat", "");
    const RunRecord run = RunGame(tree, 3, WithOpenGL());
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(ReadLines(tree.Files() / "Debug.txt"),
              ExpectedLog(tree, {"\tReading Setup File"}, "\tUsing DirectX 9 Driver",
                          "\tResolution : 800x600,0"));
    EXPECT_FALSE(fs::exists(tree.Game() / "crash.dat"));
    // Stored at the next save, so the next start stays off OpenGL.
    EXPECT_EQ(ReadLines(tree.Files() / "Setup.ini").at(2), "GFX Engine = DX9");
}

TEST(StartUp, TheSessionEndingSavesAndEndsAtOnceWithExitCodeZero) {
    ScratchTree tree(true);
    const RunRecord run = RunGame(tree, 3, WithOpenGL(), true);
    ASSERT_TRUE(run.ended) << "still waiting for a key after the saves";
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(fs::exists(tree.Files() / "Setup.ini"));
    EXPECT_TRUE(fs::exists(tree.Game() / "nuscores.dat"));
    EXPECT_EQ(ReadLines(tree.Files() / "Debug.txt").back(), "Play again, soon!!");
}

TEST(StartUp, TemporaryFilesLeftByAnInterruptedSaveAreRemoved) {
    ScratchTree tree(true);
    WriteText(tree.Files() / "Setup.ini", "Width=1024\r\nHeight=768\r\n");
    WriteText(tree.Files() / "Setup.ini.new", "[Graphics]\r\nWid");
    WriteText(tree.Game() / "nuscores.dat.new", "0A1B");
    UseHeadlessPlatform();
    InitGlobals();
    fs::current_path(tree.Files());
    LoadSetup();
    EXPECT_FALSE(fs::exists(tree.Files() / "Setup.ini.new"));
    EXPECT_EQ(Settings[5], 1024);
    fs::current_path(tree.Game());
    LoadScores();
    EXPECT_FALSE(fs::exists(tree.Game() / "nuscores.dat.new"));
}

// ---------------------------------------------------------------------------
// Where the player's files go when folders are missing, read-only or full
// ---------------------------------------------------------------------------
namespace {

// `folder` made read-only for this test process alone (a private mount
// namespace, so nothing outside the process sees it); unmounted at the end.
// False where the machine does not allow it.
class ReadOnlyView {
public:
    explicit ReadOnlyView(const fs::path& folder) : folder_(folder) {
        static const bool own = unshare(CLONE_NEWNS) == 0 &&
                                mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        ok_ = own && mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
              mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
    }
    ~ReadOnlyView() { umount2(folder_.c_str(), MNT_DETACH); }
    explicit operator bool() const { return ok_; }

private:
    fs::path folder_;
    bool ok_ = false;
};

bool Logged(const std::vector<std::string>& log, const std::string& start, const std::string& end) {
    return std::any_of(log.begin(), log.end(), [&](const std::string& line) {
        return line.rfind(start, 0) == 0 && line.size() >= end.size() &&
               line.compare(line.size() - end.size(), end.size(), end) == 0;
    });
}

bool Announced(const std::string& text) {
    return std::any_of(AnnouncementList.begin(), AnnouncementList.end(),
                       [&](const Announcement& a) { return a.txt == text; });
}

}  // namespace

TEST(StartUp, AMissingCommonFolderStillSavesIntoFiles) {
    ScratchTree tree(true);
    fs::remove_all(tree.Files() / "Common");
    WriteText(tree.Files() / "Setup.ini", "Width=1024\r\nHeight=768\r\n");
    const RunRecord run = RunGame(tree, 3, WithOpenGL());
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(ReadLines(tree.Files() / "Setup.ini").at(0), "[Graphics]") << "not written back";
    EXPECT_TRUE(fs::exists(tree.Game() / "nuscores.dat"));
    for (const char* stray : {"Setup.ini", "nuscores.dat"})
        EXPECT_FALSE(fs::exists(tree.Root() / stray)) << stray;
}

TEST(StartUp, AReadOnlyFilesFolderSavesInThePlayersDataFolderAndReadsItBack) {
    ScratchTree tree(true);
    const fs::path data = tree.Root() / "home" / "flingo";
    setenv("XDG_DATA_HOME", (tree.Root() / "home").c_str(), 1);
    // Saved while "Files/" could still be written to.
    WriteText(tree.Files() / "Setup.ini", "Width=1024\r\nHeight=768\r\n");
    ReadOnlyView readOnly(tree.Files());
    if (!readOnly) {
        unsetenv("XDG_DATA_HOME");
        GTEST_SKIP() << "no private read-only mount here";
    }
    RunRecord run = RunGame(tree, 3, WithOpenGL());
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(WindowWidth, 1024);
    for (const char* file : {"Setup.ini", "Debug.txt", "283/nuscores.dat"})
        EXPECT_TRUE(fs::exists(data / file)) << file;
    const std::vector<std::string> log = ReadLines(data / "Debug.txt");
    EXPECT_TRUE(Logged(log, "\tSFX(", ")")) << "the assets are still read beside the program";
    EXPECT_EQ(log.back(), "Play again, soon!!");

    WriteText(data / "Setup.ini", "Width=1280\r\nHeight=720\r\n");
    run = RunGame(tree, 3, WithOpenGL());
    unsetenv("XDG_DATA_HOME");
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(WindowWidth, 1280);
}

// An installed copy: the program in usr/games/, its assets in
// usr/share/games/flingo/ (or missing), the player's files under
// $XDG_DATA_HOME (or, where that cannot be made, beside the assets).
TEST(StartUp, AnInstalledCopyFindsItsAssetsFromItsOwnFolderAndSavesAtHome) {
    struct Case {
        bool assets, homeWritable;
    };
    for (const Case c : {Case{true, true}, Case{false, true}, Case{true, false}}) {
        SCOPED_TRACE(std::to_string(c.assets) + std::to_string(c.homeWritable));
        ScratchTree tree(true);
        const fs::path program = tree.Root() / "usr/games", home = tree.Root() / "home";
        const fs::path assets = tree.Root() / "usr/share/games/flingo";
        fs::create_directories(program);
        fs::create_directories(assets.parent_path());
        if (c.assets) fs::rename(tree.Files(), assets);
        else fs::remove_all(tree.Files());
        if (!c.homeWritable) WriteText(home, "");  // a file: no folder can be made in it
        setenv("XDG_DATA_HOME", home.c_str(), 1);
        const RunRecord run = RunGame(tree, 3, WithOpenGL(), false, program);
        unsetenv("XDG_DATA_HOME");
        ASSERT_TRUE(run.ended);
        EXPECT_EQ(run.exitCode, 0);
        const fs::path data = c.homeWritable ? home / "flingo" : assets;
        const std::vector<std::string> log = ReadLines(data / "Debug.txt");
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back(), "Play again, soon!!");
        EXPECT_TRUE(fs::exists(data / "283/nuscores.dat"));
        EXPECT_EQ(Logged(log, "\tThe game's pictures and sounds are missing: /", "/usr/share/games/flingo/"),
                  !c.assets);
        EXPECT_EQ(Logged(log, "\t" + (home / "flingo/").string() + " can't be written to, saving in /",
                         "/usr/share/games/flingo/"),
                  !c.homeWritable);
        EXPECT_EQ(Announced("Can't save in your home folder"), !c.homeWritable);
        EXPECT_EQ(Logged(log, "\tSFX(", ")"), c.assets);
        if (c.homeWritable) {
            EXPECT_FALSE(fs::exists(assets / "Debug.txt"));
        }
    }
}

TEST(StartUp, AFullDiskKeepsWhatWasSavedAndTellsThePlayer) {
    ScratchTree tree(true);
    const std::string setup = "Width=1024\r\nHeight=768\r\n", scores = "0A0B0C\r\n";
    WriteText(tree.Files() / "Setup.ini", setup);
    WriteText(tree.Game() / "nuscores.dat", scores);
    // Every byte written to the temporary files meets a full device.
    fs::create_symlink("/dev/full", tree.Files() / "Setup.ini.new");
    fs::create_symlink("/dev/full", tree.Game() / "nuscores.dat.new");
    const RunRecord run = RunGame(tree, 3, WithOpenGL());
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(ReadAll(tree.Files() / "Setup.ini"), setup);
    EXPECT_EQ(ReadAll(tree.Game() / "nuscores.dat"), scores);
    const std::vector<std::string> log = ReadLines(tree.Files() / "Debug.txt");
    EXPECT_TRUE(Logged(log, "\tCould not save /", "/Files/Setup.ini"));
    EXPECT_TRUE(Logged(log, "\tCould not save the scores; /", "/Files/283/nuscores.dat was left as it was"));
    EXPECT_TRUE(Announced("Could not save your settings"));
    EXPECT_TRUE(Announced("Could not save your scores"));
}

// A full disk's two notices on the 800 × 600 thanks page: two whole lines.
TEST(StartUp, TheClosingNoticesOfAFullDiskAreWholeInAnEightHundredWindow) {
    ScratchTree tree(true);
    fs::create_symlink("/dev/full", tree.Files() / "Setup.ini.new");
    fs::create_symlink("/dev/full", tree.Game() / "nuscores.dat.new");
    ASSERT_TRUE(RunGame(tree, 3, WithOpenGL()).ended);
    SetImageFont(FontByRole[3]);
    const int line = TextHeight() * WindowHeight / ScreenHeight;  // in pixels
    const Pixmap page = HeadlessFrame();
    const auto yellow = [&](int y) {  // a highlighted notice box at the left edge
        const uint32_t p = ReadPixel(page, 0, y);
        return (p >> 16 & 255) > 150 && (p >> 8 & 255) > 150 && (p & 255) < 120;
    };
    int top = 0;
    while (top < WindowHeight && !yellow(top)) ++top;
    EXPECT_LE(top, WindowHeight - 2 * line + 1) << "line height " << line << " px";
}

TEST(StartUp, TheLoadingScreenHoldsTwoAndAHalfSecondsFromTheDisplay) {
    ScratchTree tree(true);
    HeadlessConfig config = WithOpenGL();
    // Nothing before the display opens takes virtual time, so the display is
    // applied at the start time itself.
    const uint32_t t0 = config.startMillis;
    const RunRecord run = RunGame(tree, 2, config);
    ASSERT_TRUE(run.ended);
    EXPECT_GE(run.firstHomeFrameAt, t0 + 2500);
    EXPECT_LE(run.firstHomeFrameAt, t0 + 2500 + 17);  // one frame's pacing at most
}

TEST(StartUp, ASlowLoadAddsNoHold) {
    ScratchTree tree(true);
    HeadlessConfig config = WithOpenGL();
    // Every shown frame while loading takes 3 s (the opening backdrop is one).
    uint32_t loadedAt = 0;
    fs::current_path(tree.Root());
    RunRecord run;
    UseHeadlessPlatform(config);
    HeadlessOnFlip([&](int) {
        if (MouseMode != 1) {
            HeadlessAdvance(3000);
            loadedAt = MilliSecs();
            return;
        }
        if (run.homeFrames++ == 0) run.firstHomeFrameAt = MilliSecs();
        HeadlessCloseRequest();
        HeadlessKey(65, true);
    });
    try {
        Main();
    } catch (const ProgramEnded&) {
        run.ended = true;
    }
    HeadlessOnFlip(nullptr);
    HeadlessKey(65, false);
    CloseLog();
    ASSERT_TRUE(run.ended);
    ASSERT_GT(loadedAt, config.startMillis + 2500);
    EXPECT_LE(run.firstHomeFrameAt - loadedAt, 17u);
}
