// The game as a player installs it: the .deb built from this build folder,
// unpacked into a scratch root and started from there on a private X server
// with HOME in a scratch folder. Its files must land in
// $HOME/.local/share/flingo/, nothing may be written inside the unpacked
// tree, and a second start must read back the first start's score. The
// menu entry and the metadata must pass their validators.
#include <gtest/gtest.h>

#include <map>
#include <regex>

#include "app/app.h"
#include "scores/record.h"
#include "scores/scores.h"
#include "tests/support/private_display.h"
#include "tests/support/real_program.h"

using namespace realprogram;

namespace {

// Every file under `root` with its size and time: what "unchanged" means.
std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> Snapshot(const fs::path& root) {
    std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> files;
    for (const auto& e : fs::recursive_directory_iterator(root))
        files[e.path().string()] = {e.is_regular_file() ? e.file_size() : 0, e.last_write_time()};
    return files;
}

// The package is built and unpacked once for the tests below.
class InstalledPackage : public testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string pattern = (fs::temp_directory_path() / "flingo-package-XXXXXX").string();
        scratch_ = mkdtemp(pattern.data());
        const std::string build = FLINGO_BUILD_DIR, out = scratch_.string();
        Sh("cd '" + build + "' && cpack -G DEB -B '" + out + "/pkg' >'" + out + "/cpack.log' 2>&1");
        Sh("dpkg-deb -x '" + out + "'/pkg/flingo_*_amd64.deb '" + out + "/root'");
    }
    static void TearDownTestSuite() { fs::remove_all(scratch_); }
    static fs::path Root() { return scratch_ / "root"; }
    static fs::path scratch_;
};
fs::path InstalledPackage::scratch_;

}  // namespace

TEST_F(InstalledPackage, MenuEntryAndMetadataPassTheirValidators) {
    const fs::path share = Root() / "usr/share";
    ASSERT_TRUE(fs::exists(share / "applications")) << ReadLines(scratch_ / "cpack.log").size()
                                                     << " lines in " << scratch_ / "cpack.log";
    for (const auto& e : fs::directory_iterator(share / "applications"))
        EXPECT_EQ(Sh("desktop-file-validate '" + e.path().string() + "'"), 0) << e.path();
    for (const auto& e : fs::directory_iterator(share / "metainfo"))
        EXPECT_EQ(Sh("appstreamcli validate --no-net '" + e.path().string() + "' >/dev/null"), 0)
            << e.path();
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const std::string px = std::to_string(size);
        const Pixmap icon = LoadPixmap((share / "icons/hicolor" / (px + "x" + px) / "apps/flingo.png").string());
        ASSERT_TRUE(icon) << size;
        EXPECT_EQ(PixmapWidth(icon), size);
    }
    EXPECT_TRUE(fs::exists(share / "man/man6/flingo.6.gz"));
}

TEST_F(InstalledPackage, RunsFromAnyFolderAndKeepsThePlayersFilesAtHome) {
    const pid_t server = StartPrivateXServer("1280x1024x24");
    if (server <= 0) {
        if (DisplayRequired()) FAIL() << "FLINGO_REQUIRE_DISPLAY=1 but Xvfb does not start";
        GTEST_SKIP() << "no Xvfb";
    }
    struct Stop {
        pid_t pid;
        ~Stop() { StopPrivateXServer(pid); }
    } stop{server};
    const fs::path program = Root() / "usr/games/flingo", home = scratch_ / "home";
    ASSERT_TRUE(fs::exists(program));
    fs::create_directories(home);
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_DATA_HOME");
    const fs::path data = home / ".local/share/flingo", log = data / "Debug.txt";
    const auto before = Snapshot(Root());

    // One start: play a game as "Packaged"; then a start that only quits.
    for (const bool play : {true, false}) {
        SCOPED_TRACE(play ? "first start" : "second start");
        fs::remove(log);
        Child game("/", program);
        ASSERT_TRUE(WaitFor(90s, [&] { return !game.Running() || LogHas(log, "Finished Loading"); }))
            << "running " << game.Running() << ", log lines " << ReadLines(log).size();
        std::string window;
        ASSERT_TRUE(WaitFor(10s, [&] {
            window = Capture("xdotool search --name 'Flingo' 2>/dev/null | head -1");
            return !window.empty();
        }));
        // The window carries the game's icon (64 x 64) for the window manager.
        EXPECT_NE(Capture("xprop -id " + window + " _NET_WM_ICON | head -1").find("Icon (64 x 64)"),
                  std::string::npos);
        Sh("xdotool windowfocus " + window + " 2>/dev/null");
        std::this_thread::sleep_for(4s);  // the loading hold and the title's slide-in
        if (play) {
            ASSERT_TRUE(PlayUntilNameEntry(game, window, data)) << "name entry did not come";
            // The field holds a default name; clear it whatever its length.
            for (int i = 0; i < 12; ++i) Sh("xdotool key BackSpace");
            Sh("xdotool type --delay 80 Packaged");
            std::this_thread::sleep_for(500ms);
            Sh("xdotool key Return");
            std::this_thread::sleep_for(2s);
        }
        Press("Escape");
        std::this_thread::sleep_for(1500ms);
        Press("space");
        EXPECT_EQ(game.Wait(20s), 0);
        EXPECT_EQ(ReadLines(log).back(), "Play again, soon!!");
        EXPECT_TRUE(fs::exists(data / "Setup.ini"));
        EXPECT_FALSE(NewestShot(data).empty()) << "screenshots go home too";
        // The record filed by the first start is still there after the second.
        const auto lines = ReadLines(data / "283/nuscores.dat");
        ASSERT_EQ(lines.size(), 2u);
        InitGlobals();
        BuildDefaultKey();
        const ScoreRef r = ParseRecord(Unscramble(lines[1]));
        ASSERT_TRUE(r);
        EXPECT_EQ(r->Name, "Packaged");
    }
    EXPECT_EQ(Snapshot(Root()), before) << "the game wrote inside its installed tree";
}
