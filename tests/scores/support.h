// support.h — fixtures of the score and game tests: a scratch folder laid
// out like the program's own, file readers, and a clean headless start.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/globals.h"
#include "framework/setup.h"
#include "platform/headless/headless.h"
#include "scores/scores.h"

namespace gametest {

namespace fs = std::filesystem;

// A fresh temp folder holding "Files/Common/" and "Files/283/" (with
// copyAssets: the build's generated tree), current while it lives.
class Scratch {
public:
    explicit Scratch(bool copyAssets = false) {
        std::string pattern = (fs::temp_directory_path() / "flingo-game-XXXXXX").string();
        root_ = mkdtemp(pattern.data());
        previous_ = fs::current_path();
        if (copyAssets && fs::exists(fs::path(FLINGO_BUILD_DIR) / "Files"))
            fs::copy(fs::path(FLINGO_BUILD_DIR) / "Files", Files(), fs::copy_options::recursive);
        fs::create_directories(Files() / "Common");
        fs::create_directories(Game());
        for (const char* f : {"Setup.ini", "Debug.txt", "283/crash.dat", "283/nuscores.dat"})
            fs::remove(Files() / f);
        fs::current_path(root_);
    }
    ~Scratch() {
        CloseLog();
        std::error_code ignored;
        fs::current_path(previous_, ignored);
        fs::remove_all(root_, ignored);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    const fs::path& Root() const { return root_; }
    fs::path Files() const { return root_ / "Files"; }
    fs::path Game() const { return root_ / "Files" / "283"; }

private:
    fs::path root_, previous_;
};

// Lines of a file (CR LF or LF separated), without their ends.
inline std::vector<std::string> ReadLines(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

inline std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// Headless platform, clean globals and score table, the key built, the log
// open in Files/ and the game folder current.
inline void StartClean(const Scratch& tree, const HeadlessConfig& config = {}) {
    UseHeadlessPlatform(config);
    InitGlobals();
    ResetScoreTable();
    BuildDefaultKey();
    fs::current_path(tree.Files());
    OpenLog("Debug.txt");
    fs::current_path(tree.Game());
}

// StartClean plus an open 800 × 600 window on the 1280 × 960 virtual area,
// the way start-up leaves it for the screens.
inline void StartWithWindow(const Scratch& tree, const HeadlessConfig& config = {}) {
    StartClean(tree, config);
    Graphics(800, 600, 0, 60, 0);
    ScreenWidth = 1280;
    ScreenHeight = 960;
    SetVirtualResolution(1280, 960);
    Settings[12] = 50;
    TargetFps = 60;
    MouseMode = 1;
}

// Moves the pointer to virtual coordinates (the window is 800 × 600).
inline void PointAt(int vx, int vy) {
    HeadlessMouseMove(vx * WindowWidth / ScreenWidth, vy * WindowHeight / ScreenHeight);
}

}  // namespace gametest
