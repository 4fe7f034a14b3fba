// real_program.h — running the built program in a real window for a test:
// the child process, waiting on it, xdotool input, and reading the game's
// own screenshots to tell which screen it shows.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "tests/framework/support.h"

namespace realprogram {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_support::ReadLines;

inline bool DisplayRequired() {
    const char* v = std::getenv("FLINGO_REQUIRE_DISPLAY");
    return v && std::string(v) == "1";
}

inline bool DisplayOpens() {
    const char* d = std::getenv("DISPLAY");
    if (!d || !*d) return false;
    return std::system("xdpyinfo >/dev/null 2>&1") == 0;
}

// Output of a shell command, trailing line end removed.
inline std::string Capture(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[256];
        while (fgets(buf, sizeof buf, p)) out += buf;
        pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

inline int Sh(const std::string& command) { return std::system(command.c_str()); }

// A key held for 200 ms, as a player presses it: the title screen and the
// thanks page look at keys held, so a press and release inside one poll
// (what "xdotool key" sends) would go unseen there.
inline void Press(const std::string& key) {
    Sh("xdotool keydown " + key);
    std::this_thread::sleep_for(200ms);
    Sh("xdotool keyup " + key);
}

inline bool LogHas(const fs::path& log, const std::string& line) {
    for (const auto& l : ReadLines(log))
        if (l == line) return true;
    return false;
}

// The newest screenshot in Files/, or "".
inline fs::path NewestShot(const fs::path& files) {
    fs::path best;
    fs::file_time_type when{};
    for (const auto& e : fs::directory_iterator(files)) {
        if (e.path().extension() != ".png") continue;
        if (best.empty() || e.last_write_time() > when) {
            best = e.path();
            when = e.last_write_time();
        }
    }
    return best;
}

// Pixels of pure green (0, 255, 0): only the name-entry screen draws them.
inline int GreenPixels(const fs::path& png) {
    const Pixmap p = LoadPixmap(png.string());
    if (!p) return 0;
    int n = 0;
    for (int y = 0; y < PixmapHeight(p); y += 2)
        for (int x = 0; x < PixmapWidth(p); x += 2)
            if ((ReadPixel(p, x, y) & 0xFFFFFF) == 0x00FF00) ++n;
    return n;
}

// Share of pure black pixels: the round is drawn on black, the menus on the
// striped backdrop.
inline double BlackShare(const fs::path& png) {
    const Pixmap p = LoadPixmap(png.string());
    if (!p) return 0;
    int black = 0, all = 0;
    for (int y = 0; y < PixmapHeight(p); y += 4)
        for (int x = 0; x < PixmapWidth(p); x += 4, ++all)
            if ((ReadPixel(p, x, y) & 0xFFFFFF) == 0) ++black;
    return all ? static_cast<double>(black) / all : 0;
}

class Child {
public:
    // Runs `program` (relative to `dir`, or absolute) from the folder `dir`;
    // with errFile the child's standard error goes to that file.
    explicit Child(const fs::path& dir, const fs::path& program = "./flingo",
                   const fs::path& errFile = {}) {
        pid_ = fork();
        if (pid_ == 0) {
            if (chdir(dir.c_str()) != 0) _exit(126);
            if (!errFile.empty() && !std::freopen(errFile.c_str(), "w", stderr)) _exit(126);
            execl(program.c_str(), "flingo", static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~Child() {
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    // The exit code, or −1 when it is still running after `limit`.
    int Wait(std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                reaped_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(50ms);
        }
        return -1;
    }
    bool Running() {
        int status = 0;
        if (reaped_) return false;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            reaped_ = true;
            return false;
        }
        return true;
    }
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
};

template <class F>
inline bool WaitFor(std::chrono::milliseconds limit, F done) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(100ms);
    }
    return false;
}

// From the title (window id `window`, 800 x 600): starts a round, parks the
// bar so the balls drop, and watches for name entry through F11 screenshots
// that the game saves in `shots`. False when name entry never came.
inline bool PlayUntilNameEntry(Child& game, const std::string& window, const fs::path& shots) {
    // The start box is centred at ((1280 − 415) / 2, 480) of 1280 × 960
    // (the panel is 415 wide in a window below 900), which is (270, 300) in
    // the 800 × 600 window.
    const auto clickStart = [&] {
        Sh("xdotool mousemove --window " + window + " 270 300");
        std::this_thread::sleep_for(300ms);
        Sh("xdotool mousedown 1");
        std::this_thread::sleep_for(200ms);
        Sh("xdotool mouseup 1");
        // Park the bar in a corner and let the balls drop.
        std::this_thread::sleep_for(500ms);
        Sh("xdotool mousemove --window " + window + " 2 300");
    };
    clickStart();
    // Watch for name entry through the game's own screenshots (F11). On a
    // loaded machine the first click can land before the title takes input;
    // a shot that still shows a menu instead of the black round clicks again.
    bool naming = false;
    for (int i = 0; i < 60 && !naming && game.Running(); ++i) {
        std::this_thread::sleep_for(2s);
        Sh("xdotool key F11");
        std::this_thread::sleep_for(700ms);
        const fs::path shot = NewestShot(shots);
        naming = !shot.empty() && GreenPixels(shot) > 20;
        // A shot still being written (PNG level 9 on a loaded machine) reads
        // as nothing; only a shot that loads can show a menu.
        if (!naming && !shot.empty() && LoadPixmap(shot.string()) && BlackShare(shot) < 0.5)
            clickStart();
    }
    return naming;
}

}  // namespace realprogram
