// Crash safety of the saved files: the real program under X is killed with
// SIGKILL at a random moment around a save (the closing screen's, reached
// with Escape on the title, and the one Tab makes), and afterwards
// "Setup.ini" and "nuscores.dat" must each be exactly the old or exactly the
// new file, and load. When the closing screen got as far as its "Closing Up"
// log line before the kill, both must be the new files.
//
// FLINGO_CRASH_TRIALS sets the number of killed runs (default 6; the long
// run the README names uses 200); FLINGO_CRASH_SEED fixes the kill moments.
// Needs a display like the real-window test (test.sh starts Xvfb).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include "app/app.h"
#include "app/globals.h"
#include "framework/setup.h"
#include "platform/headless/headless.h"
#include "scores/scores.h"
#include "tests/framework/support.h"

using namespace std::chrono_literals;
using testing_support::ReadAll;
using testing_support::ReadLines;
using testing_support::ScratchTree;
using testing_support::WriteText;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

int EnvInt(const char* name, int fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::atoi(v) : fallback;
}

int Sh(const std::string& command) { return std::system(command.c_str()); }

bool LogHas(const fs::path& log, const std::string& line) {
    for (const auto& l : ReadLines(log))
        if (l == line) return true;
    return false;
}

ino_t Inode(const fs::path& path) {
    struct stat st{};
    return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

template <class F>
bool WaitFor(std::chrono::milliseconds limit, std::chrono::milliseconds step, F done) {
    const auto end = Clock::now() + limit;
    while (Clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(step);
    }
    return done();
}

class Game {
public:
    explicit Game(const fs::path& dir) {
        pid_ = fork();
        if (pid_ == 0) {
            if (chdir(dir.c_str()) != 0) _exit(126);
            execl("./flingo", "flingo", static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~Game() { Kill(); }
    bool Running() {
        int status;
        if (pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_) pid_ = -1;
        return pid_ > 0;
    }
    void Kill() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    // The exit code, or -1 when it did not end within the limit.
    int Wait(std::chrono::milliseconds limit) {
        int status = 0;
        const bool ended = WaitFor(limit, 50ms, [&] { return waitpid(pid_, &status, WNOHANG) == pid_; });
        if (!ended) return -1;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    pid_t pid_ = -1;
};

// Old files differ from what the game writes back (a comment line, a line
// of junk the loader skips), so every outcome can be told apart.
const char* const OldSetup =
    "[Graphics]\r\nFullscreen = False\r\nGFX Engine = OpenGL\r\nWidth=800\r\nHeight=600\r\n"
    "; written by an earlier run\r\n\r\n[Audio]\r\nMaster = 80\r\nSound = 70\r\nMusic = 60\r\n";

std::string OldScores() {
    std::string file = Scramble("crash|pw", AccountKey) + "\r\n";
    for (int i = 1; i <= 3; ++i) {
        Scores r;
        r.Score = 1000 * i;
        r.Name = "Kim" + std::to_string(i);
        r.Timestamp = 63900000000 + i;
        r.GameMode = 1;
        r.Best[1] = i;
        file += Scramble(RecordText(r)) + "\r\n";
    }
    return file + "ZZ\r\n";
}

class CrashSafety : public ::testing::Test {
protected:
    void SetUp() override {
        const char* d = std::getenv("DISPLAY");
        if (!d || !*d || Sh("xdpyinfo >/dev/null 2>&1") != 0) {
            if (EnvInt("FLINGO_REQUIRE_DISPLAY", 0) == 1) FAIL() << "no X display opens";
            GTEST_SKIP() << "no X display";
        }
        ASSERT_EQ(Sh("command -v xdotool >/dev/null"), 0) << "xdotool is missing";
        UseHeadlessPlatform();
        InitGlobals();
        BuildDefaultKey();
        oldScores_ = OldScores();
        fs::copy_file(fs::path(FLINGO_BUILD_DIR) / "flingo", tree_.Root() / "flingo");
    }

    fs::path SetupFile() const { return tree_.Files() / "Setup.ini"; }
    fs::path ScoreFile() const { return tree_.Game() / "nuscores.dat"; }
    fs::path Log() const { return tree_.Files() / "Debug.txt"; }

    // Starts the game on the old files and waits until the title takes keys.
    void StartToTitle(std::unique_ptr<Game>& game) {
        game.reset();
        WriteText(SetupFile(), OldSetup);
        WriteText(ScoreFile(), oldScores_);
        fs::remove(Log());
        game = std::make_unique<Game>(tree_.Root());
        ASSERT_TRUE(WaitFor(60s, 50ms, [&] { return !game->Running() || LogHas(Log(), "Finished Loading"); }))
            << "the program did not finish loading";
        ASSERT_TRUE(game->Running()) << "the program ended while loading";
        std::string window;
        WaitFor(10s, 100ms, [&] {
            window.clear();
            if (FILE* p = popen("xdotool search --name 'Flingo' 2>/dev/null | head -1", "r")) {
                char buf[64];
                if (fgets(buf, sizeof buf, p)) window = buf;
                pclose(p);
            }
            return !window.empty();
        });
        if (!window.empty()) Sh("xdotool windowfocus " + window + " 2>/dev/null");
        // The loading screen holds 2.5 s from the window opening, then the
        // title slides in for about half a second.
        std::this_thread::sleep_for(3300ms);
    }

    // Both files are whole and load: the old or the new bytes exactly, and
    // the settings and records they hold read back.
    void CheckFiles(bool mustBeNew, const std::string& what) {
        const std::string setup = ReadAll(SetupFile()), scores = ReadAll(ScoreFile());
        const bool setupNew = setup == newSetup_, scoresNew = scores == newScores_;
        EXPECT_TRUE(setupNew || setup == OldSetup) << what << ": Setup.ini is neither file:\n" << setup;
        EXPECT_TRUE(scoresNew || scores == oldScores_) << what << ": nuscores.dat is neither file";
        if (mustBeNew) {
            EXPECT_TRUE(setupNew && scoresNew) << what << ": saves logged as done";
        }
        ++(setupNew ? setupNewCount_ : setupOldCount_);
        ++(scoresNew ? scoresNewCount_ : scoresOldCount_);

        InitGlobals();
        bool sawDriver = false;
        for (const auto& line : ReadLines(SetupFile())) ApplySetupLine(line, sawDriver);
        EXPECT_EQ(Settings[11] * 10000 + Settings[12] * 100 + Settings[13], 807060) << what;
        ResetScoreTable();
        const fs::path here = fs::current_path();
        fs::current_path(tree_.Game());
        LoadScores();
        fs::current_path(here);
        EXPECT_EQ(ScoreList.size(), 3u) << what;
        EXPECT_EQ(LoginName, "crash") << what;
    }

    ScratchTree tree_{true};
    std::string oldScores_, newSetup_, newScores_;
    int setupOldCount_ = 0, setupNewCount_ = 0, scoresOldCount_ = 0, scoresNewCount_ = 0;
};

}  // namespace

TEST_F(CrashSafety, SavedFilesAreOldOrNewAfterAKillAtAnyMoment) {
    // A run that is not killed gives the new files and how long the saves take.
    std::unique_ptr<Game> game;
    StartToTitle(game);
    // Tab twice: the second closes the settings again before Escape.
    auto t0 = Clock::now();
    int64_t tabMs = 0;
    for (int i = 0; i < 2; ++i) {
        const ino_t before = Inode(SetupFile());
        t0 = Clock::now();
        Sh("xdotool key Tab");
        ASSERT_TRUE(WaitFor(10s, 1ms, [&] { return Inode(SetupFile()) != before; })) << "Tab saved nothing";
        if (i == 0) tabMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
        std::this_thread::sleep_for(300ms);
    }
    t0 = Clock::now();
    Sh("xdotool keydown Escape");
    const bool closed = WaitFor(10s, 1ms, [&] { return LogHas(Log(), "Closing Up"); });
    const auto closeMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
    Sh("xdotool keyup Escape");
    ASSERT_TRUE(closed) << "Escape did not reach the closing screen";
    std::this_thread::sleep_for(1500ms);
    Sh("xdotool keydown space; sleep 0.2; xdotool keyup space");
    EXPECT_EQ(game->Wait(20s), 0);
    newSetup_ = ReadAll(SetupFile());
    newScores_ = ReadAll(ScoreFile());
    ASSERT_NE(newSetup_, OldSetup);
    ASSERT_NE(newScores_, oldScores_);
    CheckFiles(true, "run without a kill");

    const int trials = EnvInt("FLINGO_CRASH_TRIALS", 6);
    const unsigned seed = static_cast<unsigned>(EnvInt("FLINGO_CRASH_SEED", int(time(nullptr))));
    std::mt19937 random(seed);
    // Kill moments spread from the key press to well past the save.
    const int tabWindow = std::max<int>(40, int(2 * tabMs)), closeWindow = std::max<int>(40, int(2 * closeMs));
    int logged = 0, tempLeft = 0, tempLeftAtStart = 0, tempKeptByStart = 0;
    const fs::path temps[] = {tree_.Files() / "Setup.ini.new", tree_.Game() / "nuscores.dat.new"};
    for (int trial = 1; trial <= trials && !HasFailure(); ++trial) {
        const bool closing = trial % 2 == 1;
        int leftBefore = 0, keptAfter = 0;
        for (const auto& t : temps) leftBefore += fs::exists(t);
        StartToTitle(game);
        for (const auto& t : temps) keptAfter += fs::exists(t);
        tempLeftAtStart += leftBefore;
        tempKeptByStart += keptAfter;
        const int delayMs = std::uniform_int_distribution<int>(0, closing ? closeWindow : tabWindow)(random);
        Sh(closing ? "xdotool keydown Escape" : "xdotool key Tab");
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        game->Kill();
        if (closing) Sh("xdotool keyup Escape");
        const bool done = closing && LogHas(Log(), "Closing Up");
        logged += done;
        for (const auto& t : temps) tempLeft += fs::exists(t);
        CheckFiles(done, "trial " + std::to_string(trial) + (closing ? " (Escape, " : " (Tab, ") +
                             std::to_string(delayMs) + " ms)");
    }
    std::printf(
        "crash safety: %d kills (seed %u; windows %d ms after Tab, %d ms after Escape), all files "
        "whole: Setup.ini old %d / new %d, nuscores.dat old %d / new %d (counts include the run "
        "without a kill); closing saves logged before the kill %d; temporary files left by a kill "
        "%d; left ones found at the next start %d, still there on the title %d\n",
        trials, seed, tabWindow, closeWindow, setupOldCount_, setupNewCount_, scoresOldCount_,
        scoresNewCount_, logged, tempLeft, tempLeftAtStart, tempKeptByStart);
}
